#pragma once

// Image capture columns: the value of a kind-3 column names an image, which is saved into the
// templet's image folder under the next number of the global image counter (opts row tmid 0,
// oid 1); the cell gets the file's name. Nothing here shows a message.

#include <string>
#include <string_view>

#include "core/templet.h"

namespace sorvane {

class HttpClient;
struct RequestSettings;
class Tdm;

// Raises the image counter and returns its new value as text, through store.qryN (qryM may hold
// the open values of a database-field run): "update opts set val=val+1 where tmid=0 and oid=1",
// then "select val from opts where tmid=0 and oid=1". Empty text when the counter row is missing.
// Store errors pass on.
std::string NextImageNo(Tdm& store);

// The extension an image address gives its file: from the last period to the end, provided no
// "/", "\" or ":" follows that period; empty otherwise.
std::string ImageExtension(std::string_view address);

// The folder `templet`'s images are saved in, with a trailing "/": its ImgDir when that names an
// existing folder (a missing final "/" is added), else DataFolder() + "img-t" + ID + "/" (beside
// the program when it may write there), which is created (one level) when it does not exist.
std::string ImageFolder(const TTemplet& templet);

// Saves the image at `address` and returns the file's name without its folder: "img-" +
// NextImageNo + ImageExtension(address), the bytes as received, replacing a file of that name
// (and a link of that name, never the file it points at). The file appears whole or not at all:
// the bytes go to a temporary file in the same folder first, which a failure removes.
// An address that is empty after removing blanks and control characters at both ends gives
// empty text and spends no number. Any other failure (the request, a name the file system
// refuses, a name that would leave the folder, the write) gives empty text; its number stays
// spent. The request is made with `settings` (the run's); relative addresses resolve against the
// page `http` fetched last.
std::string DownloadImage(Tdm& store, HttpClient& http, const RequestSettings& settings,
                          const TTemplet& templet, std::string_view address);

}  // namespace sorvane
