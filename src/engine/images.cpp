#include "engine/images.h"

#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/programfolder.h"
#include "core/store.h"
#include "engine/httpclient.h"
#include "engine/qstrings.h"

namespace sorvane {
namespace {

// A name made of a counter value and an address's extension is written only when it is one
// plain entry of the folder: nothing in it can name another folder or cut the name short.
bool IsPlainFileName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (out) return true;
  }
  // A half-written image is no image.
  std::error_code ec;
  std::filesystem::remove(path, ec);
  return false;
}

}  // namespace

std::string NextImageNo(Tdm& store) {
  Query& q = store.qryN;
  q.Execute("update opts set val=val+1 where tmid=0 and oid=1");
  q.Open("select val from opts where tmid=0 and oid=1");
  std::string number = q.Eof() ? std::string() : q.AsString(0);
  q.Close();
  return number;
}

std::string ImageExtension(std::string_view address) {
  const std::size_t dot = address.rfind('.');
  if (dot == std::string_view::npos) return {};
  const std::string_view extension = address.substr(dot);
  if (extension.find_first_of("/\\:") != std::string_view::npos) return {};
  return std::string(extension);
}

std::string ImageFolder(const TTemplet& templet) {
  std::error_code ec;
  if (!templet.ImgDir.empty() && std::filesystem::is_directory(templet.ImgDir, ec)) {
    // The file name is appended to the folder; without its separator the image would land
    // beside the folder instead of in it.
    if (templet.ImgDir.back() == '/') return templet.ImgDir;
    return templet.ImgDir + '/';
  }
  std::string folder = ProgramFolder() + "img-t" + std::to_string(templet.ID) + "/";
  if (!std::filesystem::is_directory(folder, ec)) std::filesystem::create_directory(folder, ec);
  return folder;
}

std::string DownloadImage(Tdm& store, HttpClient& http, const TTemplet& templet,
                          std::string_view address) {
  std::string trimmed(address);
  TrimInPlace(trimmed);
  if (trimmed.empty()) return {};

  const std::string folder = ImageFolder(templet);
  const std::string name = "img-" + NextImageNo(store) + ImageExtension(address);
  if (!IsPlainFileName(name)) return {};
  try {
    const std::string bytes = http.GetBytes(address);
    if (!WriteFile(std::filesystem::path(folder + name), bytes)) return {};
  } catch (const std::exception&) {
    // A failed request or a name the file system refuses: the cell stays empty, no message.
    return {};
  }
  return name;
}

}  // namespace sorvane
