#include "imaging/DecoderWarnings.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>
#include <vips/vips8>

namespace trimlark {

struct WarningScope::Log
{
    std::vector<std::string> messages; // the first kKeptMessages different ones
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
    if (log.messages.size() < kKeptMessages && std::find(log.messages.begin(), log.messages.end(), text) == log.messages.end())
        log.messages.push_back(text);
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
    if (log_->count == 0)
        return {};
    std::string text = "libvips warned";
    bool first = true;
    for (const std::string& message : log_->messages) {
        if (besides.find(message) != std::string::npos)
            continue;
        text += (first ? ": " : "; ") + message;
        first = false;
    }
    if (first && log_->count <= static_cast<long>(log_->messages.size()))
        return {}; // nothing besides says already
    if (log_->count > static_cast<long>(log_->messages.size()))
        text += " (" + std::to_string(log_->count) + " warnings)";
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

std::string OneLine(const char* message, std::size_t limit)
{
    std::vector<std::string> lines;
    std::string line;
    for (const char* c = message ? message : "";; ++c) {
        if (*c == '\n' || *c == '\r' || *c == '\0') {
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
    if (text.size() > limit)
        text = text.substr(0, limit - 3) + "...";
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
