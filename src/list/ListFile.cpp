#include "list/ListFile.h"

#include "base/AtomicFile.h"
#include "base/PathText.h"
#include "base/Reason.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <glib.h>
#include <memory>
#include <nlohmann/json.hpp>
#include <span>
#include <sys/stat.h>
#include <unistd.h>

namespace trimlark {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

std::string EncodeBase64(std::string_view bytes)
{
    const std::unique_ptr<gchar, decltype(&g_free)> text(
        g_base64_encode(reinterpret_cast<const guchar*>(bytes.data()), bytes.size()), &g_free);
    return text.get();
}

// Nothing for text that is not the canonical base64 of some bytes (GLib's decoder skips what it does not know, so
// the bytes are encoded again and must give the same text).
std::optional<std::string> DecodeBase64(const std::string& text)
{
    if (text.empty())
        return std::string();
    gsize size = 0;
    const std::unique_ptr<guchar, decltype(&g_free)> bytes(g_base64_decode(text.c_str(), &size), &g_free);
    std::string decoded(reinterpret_cast<const char*>(bytes.get()), bytes ? size : 0);
    if (EncodeBase64(decoded) != text)
        return std::nullopt;
    return decoded;
}

// The readable form a writer gives bytes that are no UTF-8: each stray byte as U+FFFD.
std::string ReadableForm(const std::string& bytes)
{
    return Json::parse(Json(bytes).dump(-1, ' ', false, Json::error_handler_t::replace)).get<std::string>();
}

// A whole number as an integer (the form a pixel rectangle is read in), anything else as it is.
nlohmann::ordered_json NumberValue(double value)
{
    if (std::trunc(value) == value && std::fabs(value) <= kMaxListCoordinate)
        return static_cast<std::int64_t>(value);
    return value;
}

bool HasParentStep(const fs::path& path)
{
    for (const fs::path& part : path)
        if (part == "..")
            return true;
    return false;
}

// A list's folder as paths are compared with it: absolute and lexically normal; nothing when it holds a ".." step
// or cannot be made absolute (paths are then stored absolute).
std::optional<fs::path> NormalFolder(const std::string& listFolder)
{
    std::error_code ec;
    const fs::path folder = fs::absolute(listFolder.empty() ? "." : listFolder, ec);
    if (ec || HasParentStep(folder))
        return std::nullopt;
    return folder.lexically_normal();
}

std::string PathInFolder(const std::string& path, const std::optional<fs::path>& folder)
{
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    if (ec)
        return path;
    if (!folder || HasParentStep(absolute))
        return absolute.string();
    const fs::path relative = absolute.lexically_normal().lexically_relative(*folder);
    if (relative.empty() || *relative.begin() == "..")
        return absolute.string();
    return relative.string();
}

// One line's entry; the reason without the line number when it is refused.
std::optional<ListEntry> ReadLine(std::string_view line, const std::string& listFolder, std::string* reason)
{
    Json object;
    try {
        object = Json::parse(line.begin(), line.end());
    } catch (const Json::parse_error& e) {
        return Fail(reason, "not JSON (at byte " + std::to_string(e.byte) + ")", std::nullopt);
    } catch (const Json::out_of_range&) {
        return Fail(reason, "a number is too large", std::nullopt);
    } catch (const Json::exception&) {
        return Fail(reason, "not JSON", std::nullopt);
    }
    if (!object.is_object())
        return Fail(reason, "not a JSON object", std::nullopt);

    // A report line names its image "source".
    const std::string field = object.contains("path") || object.contains("path_base64") ? "path" : "source";
    const std::string rawField = field + "_base64";
    const auto readable = object.find(field);
    const auto raw = object.find(rawField);
    if (readable == object.end() && raw == object.end())
        return Fail(reason, "no path (\"path\")", std::nullopt);
    if (readable != object.end() && !readable->is_string())
        return Fail(reason, "\"" + field + "\" is not text", std::nullopt);
    ListEntry entry;
    if (raw != object.end()) {
        auto bytes = raw->is_string() ? DecodeBase64(raw->get<std::string>()) : std::nullopt;
        if (!bytes)
            return Fail(reason, "\"" + rawField + "\" is not base64 text", std::nullopt);
        if (readable != object.end() && ReadableForm(*bytes) != readable->get<std::string>())
            return Fail(reason, "\"" + field + "\" and \"" + rawField + "\" name different files", std::nullopt);
        entry.path = std::move(*bytes);
    } else {
        entry.path = readable->get<std::string>();
    }
    if (entry.path.empty())
        return Fail(reason, "the path is empty", std::nullopt);
    if (entry.path.find('\0') != std::string::npos)
        return Fail(reason, "the path holds a NUL byte", std::nullopt);
    if (!listFolder.empty() && entry.path.front() != '/')
        entry.path.insert(0, listFolder.back() == '/' ? listFolder : listFolder + '/');

    const auto crop = object.find("crop");
    const auto centre = object.find("centre");
    if (crop != object.end() && centre != object.end())
        return Fail(reason, "both a crop and a centre", std::nullopt);
    if (crop == object.end() && centre == object.end())
        return entry;
    const bool rectangle = crop != object.end();
    const Json& adjustment = rectangle ? *crop : *centre;
    const std::string name = rectangle ? "crop" : "centre";
    if (!adjustment.is_object())
        return Fail(reason, "the " + name + " is not an object", std::nullopt);
    struct Field
    {
        const char* key;
        const char* word;
        double CropAdjustment::*value;
        bool size;
    };
    static constexpr Field rectangleFields[] = {{"x", "left edge (x)", &CropAdjustment::x, false},
                                                {"y", "top edge (y)", &CropAdjustment::y, false},
                                                {"w", "width (w)", &CropAdjustment::w, true},
                                                {"h", "height (h)", &CropAdjustment::h, true}};
    static constexpr Field centreFields[] = {{"x", "x", &CropAdjustment::x, false},
                                             {"y", "y", &CropAdjustment::y, false}};
    CropAdjustment value;
    value.kind = rectangle ? CropAdjustment::Kind::Rectangle : CropAdjustment::Kind::Centre;
    for (const Field& f : rectangle ? std::span<const Field>(rectangleFields) : std::span<const Field>(centreFields)) {
        const auto number = adjustment.find(f.key);
        const std::string what = "the " + name + "'s " + f.word;
        if (number == adjustment.end())
            return Fail(reason, "the " + name + " has no " + f.word, std::nullopt);
        if (!number->is_number())
            return Fail(reason, what + " is not a number", std::nullopt);
        const double v = number->get<double>();
        if (!(std::fabs(v) <= kMaxListCoordinate)) // NaN too
            return Fail(reason, what + " lies beyond any image", std::nullopt);
        if (f.size && v <= 0)
            return Fail(reason, what + " is not above 0", std::nullopt);
        value.*f.value = v;
    }
    entry.adjustment = value;
    return entry;
}

// The bytes of a regular file of at most kMaxListFileBytes.
std::optional<std::string> ReadSmallFile(const std::string& path, std::string* reason)
{
    // Without O_NONBLOCK, opening a pipe would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return Fail(reason, std::strerror(errno), std::nullopt);
    const std::unique_ptr<const int, void (*)(const int*)> closer(&fd, [](const int* f) { ::close(*f); });
    struct stat status = {};
    if (::fstat(fd, &status) != 0)
        return Fail(reason, std::strerror(errno), std::nullopt);
    if (!S_ISREG(status.st_mode))
        return Fail(reason, "it is not a regular file", std::nullopt);
    const std::string tooLarge =
        "it is larger than " + std::to_string(kMaxListFileBytes >> 20) + " MB, too large for a list";
    if (static_cast<std::uintmax_t>(status.st_size) > kMaxListFileBytes)
        return Fail(reason, tooLarge, std::nullopt);
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return Fail(reason, std::strerror(errno), std::nullopt);
        if (count == 0)
            return bytes;
        if (bytes.size() + static_cast<std::size_t>(count) > kMaxListFileBytes) // it grew while read
            return Fail(reason, tooLarge, std::nullopt);
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
}

} // namespace

std::optional<std::vector<ListEntry>> ReadListFile(const std::string& path, std::string* reason)
{
    const auto text = ReadSmallFile(path, reason);
    if (!text)
        return std::nullopt;
    return ReadListText(*text, FolderOfPath(path), reason);
}

std::optional<std::vector<ListEntry>> ReadListText(std::string_view text, const std::string& listFolder,
                                                   std::string* reason)
{
    std::vector<ListEntry> entries;
    std::size_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (line.find_first_not_of(" \t\r") == std::string_view::npos)
            continue;
        std::string why;
        auto entry = ReadLine(line, listFolder, &why);
        if (!entry) {
            return Fail(reason, "line " + std::to_string(number) + ": " + why, std::nullopt);
        }
        entries.push_back(std::move(*entry));
    }
    return entries;
}

std::string PathInList(const std::string& path, const std::string& listFolder)
{
    return PathInFolder(path, NormalFolder(listFolder));
}

void AddPathFields(nlohmann::ordered_json& line, const std::string& name, const std::string& path)
{
    line[name] = path;
    if (!g_utf8_validate(path.data(), static_cast<gssize>(path.size()), nullptr))
        line[name + "_base64"] = EncodeBase64(path);
}

void AddAdjustmentField(nlohmann::ordered_json& line, const CropAdjustment& adjustment)
{
    if (adjustment.kind == CropAdjustment::Kind::Rectangle) {
        line["crop"] = {{"x", NumberValue(adjustment.x)},
                        {"y", NumberValue(adjustment.y)},
                        {"w", NumberValue(adjustment.w)},
                        {"h", NumberValue(adjustment.h)}};
    } else {
        line["centre"] = {{"x", NumberValue(adjustment.x)}, {"y", NumberValue(adjustment.y)}};
    }
}

std::string WriteListText(const std::vector<ListEntry>& entries, const std::string& listFolder)
{
    const std::optional<fs::path> folder = NormalFolder(listFolder);
    std::string text;
    for (const ListEntry& entry : entries) {
        nlohmann::ordered_json line = nlohmann::ordered_json::object();
        AddPathFields(line, "path", PathInFolder(entry.path, folder));
        if (entry.adjustment)
            AddAdjustmentField(line, *entry.adjustment);
        text += line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        text += '\n';
    }
    return text;
}

bool SaveListFile(const std::string& path, const std::vector<ListEntry>& entries, std::string* reason)
{
    std::error_code ec;
    const auto type = fs::status(path, ec).type();
    if (type != fs::file_type::regular && type != fs::file_type::not_found && type != fs::file_type::none)
        return Fail(reason, "Cannot replace " + path + ": it is not a regular file");
    const std::string text = WriteListText(entries, FolderOfPath(path));
    AtomicFile file(path);
    return file.Create(reason) && file.Write(text.data(), text.size(), reason) && file.Commit(reason);
}

} // namespace trimlark
