#include "imaging/decode/DecoderWarnings.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <dlfcn.h>
#include <mutex>
#include <vector>
#include <vips/vips8>

namespace trimlark {

struct WarningScope::Log
{
    std::vector<std::string> messages; // the first kKeptMessages different ones
    std::vector<long> times;           // how often each of them was raised
    long count = 0;
    std::vector<std::string> errors; // the library's error messages, the first kKeptErrors of them
    bool sourceFailed = false;       // the source's pixels could not be computed
};

namespace {

constexpr std::size_t kKeptMessages = 2;
constexpr std::size_t kKeptErrors = 8;
constexpr std::size_t kMessageLength = 160;

std::mutex logsMutex;
std::vector<WarningScope::Log*> openLogs; // guarded by logsMutex
thread_local WarningScope::Log* currentLog = nullptr;
thread_local bool computingSource = false; // inside the computation of an Attributed image's source pixels

void Record(WarningScope::Log& log, const std::string& text)
{
    ++log.count;
    const auto kept = std::find(log.messages.begin(), log.messages.end(), text);
    if (kept != log.messages.end()) {
        ++log.times[static_cast<std::size_t>(kept - log.messages.begin())];
    } else if (log.messages.size() < kKeptMessages) {
        log.messages.push_back(text);
        log.times.push_back(1);
    }
}

void OnVipsLog(const gchar*, GLogLevelFlags, const gchar* message, gpointer)
{
    const std::string text = OneLine(message, kMessageLength);
    std::lock_guard lock(logsMutex);
    // A thread that works for no scope (an encoder's writer, a codec's own threads) may work for any image in
    // flight; its warning goes to the image only when that is the only one, else to none.
    WarningScope::Log* log = currentLog ? currentLog : openLogs.size() == 1 ? openLogs.front() : nullptr;
    if (!log)
        return;
    Record(*log, text);
    // A tile of the picture that could not be computed leaves wrong pixels wherever the pipeline goes on.
    if (text.find("error in tile") != std::string::npos)
        log->sourceFailed = true;
}

// A worker's region on the source: made (its decoder started) with the messages counted for the owner.
void* StartAttributed(VipsImage* out, void* in, void* owner)
{
    WarningScope::Log* outer = currentLog;
    const bool outerComputing = computingSource;
    currentLog = static_cast<std::shared_ptr<WarningScope::Log>*>(owner)->get();
    computingSource = true;
    void* region = vips_start_one(out, in, owner);
    computingSource = outerComputing;
    currentLog = outer;
    return region;
}

int GenerateAttributed(VipsRegion* out, void* sequence, void*, void* owner, gboolean*)
{
    auto* in = static_cast<VipsRegion*>(sequence);
    WarningScope::Log* outer = currentLog;
    WarningScope::Log* log = static_cast<std::shared_ptr<WarningScope::Log>*>(owner)->get();
    const bool outerComputing = computingSource;
    currentLog = log;
    computingSource = true;
    const VipsRect* rect = &out->valid;
    const bool failed = vips_region_prepare(in, rect) != 0;
    computingSource = outerComputing;
    currentLog = outer;
    if (failed) {
        std::lock_guard lock(logsMutex);
        log->sourceFailed = true;
    }
    return failed || vips_region_region(out, in, rect, rect->left, rect->top) != 0 ? -1 : 0;
}

// An error raised on a thread that works for an image goes to that image's scope (and on to libvips' buffer).
void RecordError(const char* domain, const char* format, va_list arguments)
{
    if (!currentLog)
        return;
    gchar* message = g_strdup_vprintf(format, arguments);
    const std::string text = (domain ? std::string(domain) + ": " : std::string()) + OneLine(message, kMessageLength);
    g_free(message);
    std::lock_guard lock(logsMutex);
    if (currentLog->errors.size() < kKeptErrors)
        currentLog->errors.push_back(text);
    // The tile cache blacks out a tile that failed and reports success; the error raised meanwhile tells.
    if (computingSource)
        currentLog->sourceFailed = true;
}

// Whether a message says that the file ends before its data does, in any decoder's words.
bool SaysFileEndsEarly(const std::string& message)
{
    std::string lower = message;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    static const char* const kWords[] = {
        "premature end",
        "unexpected end",
        "end of file",
        "not enough data",
        "ends before",
        "truncated",
        "bad seek",
        "out of data",
        "can not read tiff directory",
        "inconsistent with stream length",
    };
    return std::any_of(std::begin(kWords), std::end(kWords),
                       [&lower](const char* words) { return lower.find(words) != std::string::npos; });
}

// A decoder's sentence without the library's inside: the names of the functions and modules that relay it, the
// descriptor path the file is read through, ImageMagick's source location and libheif's error codes. Empty when
// nothing but that inside is left.
std::string PlainSentence(std::string text)
{
    if (text.find("/proc/self/fd/") != std::string::npos || text.find("error in tile") != std::string::npos ||
        text.find("(null)") != std::string::npos)
        return {};
    for (;;) { // "VipsJpeg: ", "jp2kload: ", "magick2vips: libMagick error: "...
        const auto colon = text.find(": ");
        if (colon == std::string::npos || colon == 0 ||
            (text.find(' ') < colon && text.compare(0, colon, "libMagick error") != 0))
            break;
        text.erase(0, colon + 2);
    }
    if (const auto at = text.find(" @ "); at != std::string::npos)
        text.erase(at);
    if (text.size() > 2 && text.back() == ')') { // libheif's " (2.100)"
        const auto open = text.rfind(" (");
        if (open != std::string::npos && text.find_first_not_of("0123456789.-", open + 2) == text.size() - 1)
            text.erase(open);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == ';' || text.back() == '.'))
        text.pop_back();
    return text;
}

using VerrorFunction = void (*)(const char*, const char*, va_list);

} // namespace
} // namespace trimlark

// libvips' errors go to one buffer for the whole process, which another image in flight may fill or clear at any
// moment. Every error libvips raises passes through here: libvips calls vips_verror through the dynamic linker,
// which finds the program's own definition before the library's. The message is kept by the scope of the image the
// raising thread works for, then handed on to the library's buffer as before.
extern "C" void vips_verror(const char* domain, const char* format, va_list arguments)
{
    va_list copy;
    va_copy(copy, arguments);
    trimlark::RecordError(domain, format, copy);
    va_end(copy);
    static const auto library = reinterpret_cast<trimlark::VerrorFunction>(dlsym(RTLD_NEXT, "vips_verror"));
    if (library)
        library(domain, format, arguments);
}

namespace trimlark {
namespace {

void ReleaseOwner(VipsImage*, gpointer owner)
{
    delete static_cast<std::shared_ptr<WarningScope::Log>*>(owner);
}

} // namespace

void CollectDecoderWarnings()
{
    g_log_set_handler("VIPS", static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE), OnVipsLog,
                      nullptr);
}

WarningScope::WarningScope() : log_(std::make_shared<Log>()), outer_(currentLog)
{
    std::lock_guard lock(logsMutex);
    openLogs.push_back(log_.get());
    currentLog = log_.get();
}

WarningScope::~WarningScope()
{
    std::lock_guard lock(logsMutex);
    openLogs.erase(std::find(openLogs.begin(), openLogs.end(), log_.get()));
    currentLog = outer_;
}

std::string WarningScope::Summary(const std::string& besides) const
{
    std::lock_guard lock(logsMutex);
    // A message cut short matches by what is left of it.
    const auto said = [&besides](const std::string& message) {
        const bool cut = message.size() >= 3 && message.compare(message.size() - 3, 3, "...") == 0;
        return besides.find(cut ? message.substr(0, message.size() - 3) : message) != std::string::npos;
    };
    std::string text = "libvips warned";
    long left = log_->count, shown = 0;
    for (std::size_t i = 0; i < log_->messages.size(); ++i) {
        if (said(log_->messages[i])) {
            left -= log_->times[i];
            continue;
        }
        text += (shown++ == 0 ? ": " : "; ") + log_->messages[i];
    }
    if (left == 0)
        return {}; // nothing raised, or nothing besides does not say already
    if (left > shown)
        text += " (" + std::to_string(left) + " warnings)";
    return text;
}

bool WarningScope::SourceFailed() const
{
    std::lock_guard lock(logsMutex);
    return log_->sourceFailed;
}

namespace {

std::string FailureOf(const WarningScope::Log& log, const std::string& own)
{
    std::vector<std::string> said;
    if (!own.empty())
        said.push_back(own);
    {
        std::lock_guard lock(logsMutex);
        said.insert(said.end(), log.errors.begin(), log.errors.end());
        said.insert(said.end(), log.messages.begin(), log.messages.end());
    }
    if (std::any_of(said.begin(), said.end(), SaysFileEndsEarly))
        return "the file ends early";
    for (const std::string& message : said) {
        if (std::string sentence = PlainSentence(message); !sentence.empty())
            return sentence;
    }
    return {};
}

} // namespace

std::string WarningScope::SourceFailure(const std::string& own) const
{
    return FailureOf(*log_, own);
}

std::string CurrentSourceFailure()
{
    return currentLog ? FailureOf(*currentLog, {}) : std::string();
}

std::string WarningScope::Errors() const
{
    std::lock_guard lock(logsMutex);
    std::string text;
    for (const std::string& message : log_->errors) {
        const std::string sentence = PlainSentence(message);
        if (!sentence.empty() && text.find(sentence) == std::string::npos)
            text += (text.empty() ? "" : "; ") + sentence;
    }
    return text;
}

vips::VImage WarningScope::Attributed(const vips::VImage& pixels) const
{
    VipsImage* in = pixels.get_image();
    VipsImage* out = vips_image_new();
    if (vips_image_pipelinev(out, VIPS_DEMAND_STYLE_THINSTRIP, in, nullptr) != 0) {
        g_object_unref(out);
        throw vips::VError();
    }
    // The output holds its input and this scope's log for as long as it lives.
    g_object_ref(in);
    vips_object_local(out, in);
    auto* owner = new std::shared_ptr<Log>(log_);
    g_signal_connect(out, "close", G_CALLBACK(ReleaseOwner), owner);
    if (vips_image_generate(out, StartAttributed, GenerateAttributed, vips_stop_one, in, owner) != 0) {
        g_object_unref(out);
        throw vips::VError();
    }
    return vips::VImage(out);
}

std::string OneLine(const char* message, std::size_t limit)
{
    std::vector<std::string> lines;
    std::string line;
    for (const char* c = message ? message : "";; ++c) {
        if (*c == '\n' || *c == '\r' || *c == '\0') {
            while (!line.empty() && line.back() == ' ')
                line.pop_back();
            if (!line.empty() && std::find(lines.begin(), lines.end(), line) == lines.end())
                lines.push_back(line);
            line.clear();
            if (*c == '\0')
                break;
            continue;
        }
        line += *c;
    }
    std::string text;
    for (const std::string& kept : lines)
        text += (text.empty() ? "" : "; ") + kept;
    if (text.size() > limit && limit >= 3) {
        std::size_t end = limit - 3;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) // not inside a UTF-8 character
            --end;
        text = text.substr(0, end) + "...";
    }
    return text;
}

} // namespace trimlark
