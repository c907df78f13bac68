#pragma once

// The record of one templet in the templet list, and of the current templet of the main window.

#include <string>

namespace sorvane {

struct TTemplet {
  int ID = 0;              // tmps.tmid
  int TabID = 0;           // tmps.taid: the target user table, 0 = none
  bool IsURL = false;      // tmps.typ = 1: web pages; otherwise local files
  bool IsTextTag = false;  // tmps.tag = 1: text tags; otherwise one regular expression
  std::string ImgDir;      // image folder; filled only in the main window's current copy
};

}  // namespace sorvane
