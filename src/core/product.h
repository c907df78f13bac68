#pragma once

// The product's fixed texts and addresses, shared by the main window and the about box.

namespace sorvane {

inline constexpr const char kAppTitle[] = "Sorvane";
inline constexpr const char kMainCaption[] =
    "Sorvane - Extracts data record from web & local file.";
inline constexpr const char kVersionLine[] = "Sorvane version 1.0.5.1136";
inline constexpr const char kHomePageUrl[] = "http://www.example.com/sorvane/index.html";
inline constexpr const char kSamplePageUrl[] = "http://www.example.com/sorvane/sample.html";
inline constexpr const char kSupportMail[] = "support@example.com";

}  // namespace sorvane
