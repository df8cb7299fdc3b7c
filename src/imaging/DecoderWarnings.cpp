#include "imaging/DecoderWarnings.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>
#include <vips/vips8>

namespace trimlark {

struct WarningScope::Log : std::enable_shared_from_this<WarningScope::Log>
{
    std::vector<std::string> messages; // the first kKeptMessages different ones
    std::vector<long> times;           // how often each of them was raised
    long count = 0;
    bool shared = false; // some may have come from another image worked on at the same time
};

namespace {

constexpr std::size_t kKeptMessages = 2;
constexpr std::size_t kMessageLength = 160;
constexpr int kStrayLines = 5;

std::mutex logsMutex;
std::vector<WarningScope::Log*> openLogs; // guarded by logsMutex
thread_local WarningScope::Log* currentLog = nullptr;

void Record(WarningScope::Log& log, const std::string& text, bool shared)
{
    ++log.count;
    log.shared = log.shared || shared;
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
    if (currentLog)
        return Record(*currentLog, text, false);
    for (WarningScope::Log* log : openLogs)
        Record(*log, text, openLogs.size() > 1);
    if (!openLogs.empty())
        return;
    static int strayLines = 0;
    if (++strayLines <= kStrayLines)
        std::fprintf(stderr, "libvips warning: %s%s\n", text.c_str(),
                     strayLines == kStrayLines ? " (further warnings are not shown)" : "");
}

int GenerateAttributed(VipsRegion* out, void* sequence, void*, void* owner, gboolean*)
{
    auto* in = static_cast<VipsRegion*>(sequence);
    WarningScope::Log* outer = currentLog;
    currentLog = static_cast<std::shared_ptr<WarningScope::Log>*>(owner)->get();
    const VipsRect* rect = &out->valid;
    const int result = vips_region_prepare(in, rect) != 0 || vips_region_region(out, in, rect, rect->left, rect->top) != 0 ? -1 : 0;
    currentLog = outer;
    return result;
}

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
    if (log_->shared)
        text += " (while another image was read too; some may be that image's)";
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
    if (vips_image_generate(out, vips_start_one, GenerateAttributed, vips_stop_one, in, owner) != 0) {
        g_object_unref(out);
        throw vips::VError();
    }
    return vips::VImage(out);
}

WarningRelay::WarningRelay()
{
    std::lock_guard lock(logsMutex);
    if (currentLog)
        log_ = currentLog->shared_from_this();
}

void WarningRelay::Enter() const
{
    currentLog = log_.get();
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

std::string JoinRemarks(const std::string& first, const std::string& second)
{
    if (first.empty())
        return second;
    if (second.empty())
        return first;
    return first + "; " + second;
}

} // namespace trimlark
