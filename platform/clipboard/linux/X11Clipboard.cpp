#include "platform/clipboard/linux/X11Clipboard.h"

#include <poll.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>

#include "platform/clipboard/CfHtmlHeader.h"
#include "platform/clipboard/ClipboardPicture.h"
#include "platform/clipboard/ClipboardText.h"
#include "platform/clipboard/linux/UriList.h"

namespace platform {
namespace {

const char kHtmlFormat[] = "HTML Format";
const char* const kSourceUrlTargets[] = {"text/x-moz-url-priv", "chromium/x-source-url"};
const uint32_t kChunkLongs = 1u << 20;     // 4 MB per property read
const uint64_t kTargetsCacheMs = 1500;     // one paste asks for several formats in a row
const uint64_t kStallQuarantineMs = 3000;  // an owner that timed out is not waited for again
const int kPropertyCount = 8;              // a late answer to an abandoned request lands apart

uint64_t NowMs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

struct Target {
    xcb_atom_t type = XCB_ATOM_NONE;
    uint8_t format = 0;
};

}  // namespace

// The xcb side: one connection, one hidden window, the selection conversation.
class X11Clipboard::Connection {
  public:
    explicit Connection(const X11ClipboardLimits& limits) : limits_(limits) {}
    ~Connection() {
        if (conn_ && window_ && !xcb_connection_has_error(conn_))
            xcb_destroy_window(conn_, window_);
        if (conn_) xcb_disconnect(conn_);
    }

    bool Open(const std::string& display);
    bool Broken() const { return !conn_ || xcb_connection_has_error(conn_) != 0; }
    bool Offers(const std::string& target);
    bool Read(const std::string& target, std::string& bytes);

  private:
    xcb_atom_t Atom(const std::string& name);
    xcb_window_t Owner();
    bool Targets(std::vector<xcb_atom_t>& targets);
    bool Convert(xcb_window_t owner, xcb_atom_t target, std::string& bytes, Target& kind);
    bool ReadProperty(xcb_atom_t property, size_t room, std::string& bytes, Target& kind);
    bool ReadIncr(xcb_window_t owner, xcb_atom_t property, uint64_t transferEnd, std::string& bytes,
                  Target& kind);
    bool WaitForEvent(uint64_t deadline, const std::function<bool(xcb_generic_event_t*)>& wanted);
    void DrainEvents();
    void Note(const xcb_generic_event_t* event);
    void ForgetOwner();
    void MarkStalled(xcb_window_t owner);
    bool IsStalled(xcb_window_t owner) const;

    const X11ClipboardLimits limits_;
    xcb_connection_t* conn_ = nullptr;
    xcb_window_t window_ = 0;
    bool xfixes_ = false;
    uint8_t xfixesFirstEvent_ = 0;
    std::map<std::string, xcb_atom_t> atoms_;
    xcb_atom_t clipboard_ = XCB_ATOM_NONE;
    xcb_atom_t targets_ = XCB_ATOM_NONE;
    xcb_atom_t incr_ = XCB_ATOM_NONE;
    xcb_atom_t properties_[kPropertyCount] = {};
    unsigned nextProperty_ = 0;
    // What the current owner offers, kept briefly and dropped when the owner changes.
    bool haveTargets_ = false;
    bool targetsOk_ = false;
    xcb_window_t targetsOwner_ = 0;
    uint64_t targetsAt_ = 0;
    std::vector<xcb_atom_t> targetsList_;
    // An owner that let a request time out.
    bool stalled_ = false;
    xcb_window_t stalledOwner_ = 0;
    uint64_t stalledAt_ = 0;
};

bool X11Clipboard::Connection::Open(const std::string& display) {
    int screenNumber = 0;
    conn_ = xcb_connect(display.empty() ? nullptr : display.c_str(), &screenNumber);
    if (Broken()) return false;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(conn_));
    for (int i = 0; i < screenNumber && screens.rem; ++i) xcb_screen_next(&screens);
    if (!screens.rem) return false;
    window_ = xcb_generate_id(conn_);
    // Never mapped; it only receives the selection's answers and property changes.
    const uint32_t values[] = {1, XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(conn_, XCB_COPY_FROM_PARENT, window_, screens.data->root, -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    clipboard_ = Atom("CLIPBOARD");
    targets_ = Atom("TARGETS");
    incr_ = Atom("INCR");
    for (int i = 0; i < kPropertyCount; ++i)
        properties_[i] = Atom("QUILLON_CLIPBOARD_" + std::to_string(i));
    if (clipboard_ == XCB_ATOM_NONE || targets_ == XCB_ATOM_NONE || incr_ == XCB_ATOM_NONE)
        return false;
    // Ownership changes tell exactly when what the owner offered is out of date.
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(conn_, &xcb_xfixes_id);
    if (ext && ext->present) {
        Reply<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
            conn_, xcb_xfixes_query_version(conn_, XCB_XFIXES_MAJOR_VERSION, 0), nullptr));
        if (version && version->major_version >= 1) {
            xcb_xfixes_select_selection_input(
                conn_, window_, clipboard_,
                XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                    XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                    XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
            xfixes_ = true;
            xfixesFirstEvent_ = ext->first_event;
        }
    }
    xcb_flush(conn_);
    return !Broken();
}

xcb_atom_t X11Clipboard::Connection::Atom(const std::string& name) {
    auto it = atoms_.find(name);
    if (it != atoms_.end()) return it->second;
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        conn_, xcb_intern_atom(conn_, 0, static_cast<uint16_t>(name.size()), name.data()),
        nullptr));
    if (!reply) return XCB_ATOM_NONE;
    atoms_[name] = reply->atom;
    return reply->atom;
}

xcb_window_t X11Clipboard::Connection::Owner() {
    Reply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(conn_, xcb_get_selection_owner(conn_, clipboard_), nullptr));
    // Ownership events that came before the answer are queued by now.
    DrainEvents();
    return reply ? reply->owner : 0;
}

bool X11Clipboard::Connection::Offers(const std::string& target) {
    std::vector<xcb_atom_t> targets;
    if (!Targets(targets)) return false;
    const xcb_atom_t atom = Atom(target);
    return atom != XCB_ATOM_NONE &&
           std::find(targets.begin(), targets.end(), atom) != targets.end();
}

bool X11Clipboard::Connection::Targets(std::vector<xcb_atom_t>& targets) {
    targets.clear();
    if (Broken()) return false;
    const xcb_window_t owner = Owner();
    if (!owner) {
        ForgetOwner();
        return false;
    }
    const uint64_t now = NowMs();
    if (haveTargets_ && targetsOwner_ == owner &&
        now - targetsAt_ < (targetsOk_ ? kTargetsCacheMs : kStallQuarantineMs)) {
        targets = targetsList_;
        return targetsOk_;
    }
    std::string bytes;
    Target kind;
    bool ok = Convert(owner, targets_, bytes, kind) && kind.format == 32 &&
              (kind.type == XCB_ATOM_ATOM || kind.type == targets_) && bytes.size() % 4 == 0;
    if (ok) {
        targets.resize(bytes.size() / 4);
        std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char*>(targets.data()));
    }
    haveTargets_ = true;
    targetsOk_ = ok;
    targetsOwner_ = owner;
    targetsAt_ = NowMs();
    targetsList_ = targets;
    return ok;
}

bool X11Clipboard::Connection::Read(const std::string& target, std::string& bytes) {
    bytes.clear();
    if (Broken()) return false;
    const xcb_atom_t atom = Atom(target);
    const xcb_window_t owner = Owner();
    Target kind;
    if (atom == XCB_ATOM_NONE || !owner || !Convert(owner, atom, bytes, kind)) {
        bytes.clear();
        return false;
    }
    return true;
}

bool X11Clipboard::Connection::Convert(xcb_window_t owner, xcb_atom_t target, std::string& bytes,
                                       Target& kind) {
    bytes.clear();
    if (IsStalled(owner)) return false;
    const xcb_atom_t property = properties_[nextProperty_++ % kPropertyCount];
    xcb_delete_property(conn_, window_, property);
    xcb_convert_selection(conn_, window_, clipboard_, target, property, XCB_CURRENT_TIME);
    xcb_flush(conn_);
    const uint64_t start = NowMs();
    const uint64_t transferEnd = start + limits_.transferTimeoutMs;
    xcb_atom_t answered = XCB_ATOM_NONE;
    const bool notified = WaitForEvent(
        std::min(start + limits_.replyTimeoutMs, transferEnd), [&](xcb_generic_event_t* event) {
            if ((event->response_type & 0x7f) != XCB_SELECTION_NOTIFY) return false;
            auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event);
            if (notify->requestor != window_ || notify->selection != clipboard_ ||
                notify->target != target ||
                (notify->property != property && notify->property != XCB_ATOM_NONE))
                return false;
            answered = notify->property;
            return true;
        });
    if (!notified) {
        if (!Broken()) MarkStalled(owner);
        return false;
    }
    if (answered == XCB_ATOM_NONE) return false;  // the owner refused this target
    if (!ReadProperty(property, limits_.maxBytes, bytes, kind)) return false;
    if (kind.type == incr_) return ReadIncr(owner, property, transferEnd, bytes, kind);
    return true;
}

// Reads and deletes the property; false when it is absent, malformed or larger than `room`.
bool X11Clipboard::Connection::ReadProperty(xcb_atom_t property, size_t room, std::string& bytes,
                                            Target& kind) {
    bytes.clear();
    uint32_t offset = 0;
    for (;;) {
        // Deletion takes effect with the read that reaches the end.
        Reply<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(conn_,
                                   xcb_get_property(conn_, 1, window_, property,
                                                    XCB_GET_PROPERTY_TYPE_ANY, offset, kChunkLongs),
                                   nullptr));
        if (!reply || reply->type == XCB_ATOM_NONE) return false;
        if (reply->format != 8 && reply->format != 16 && reply->format != 32) return false;
        const int length = xcb_get_property_value_length(reply.get());
        if (length < 0 || static_cast<uint64_t>(bytes.size()) + static_cast<uint64_t>(length) +
                                  reply->bytes_after >
                              room)
            return false;
        if (offset == 0) kind = Target{reply->type, reply->format};
        bytes.append(static_cast<const char*>(xcb_get_property_value(reply.get())),
                     static_cast<size_t>(length));
        if (reply->bytes_after == 0) return true;
        if (length == 0 || length % 4 != 0) return false;
        offset += static_cast<uint32_t>(length) / 4;
    }
}

// The incremental transfer: each deletion of the property asks the owner for the next piece;
// an empty piece ends it.
bool X11Clipboard::Connection::ReadIncr(xcb_window_t owner, xcb_atom_t property,
                                        uint64_t transferEnd, std::string& bytes, Target& kind) {
    bytes.clear();
    kind = Target();
    for (;;) {
        const bool newValue =
            WaitForEvent(std::min(NowMs() + limits_.replyTimeoutMs, transferEnd),
                         [&](xcb_generic_event_t* event) {
                             if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
                             auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
                             return notify->window == window_ && notify->atom == property &&
                                    notify->state == XCB_PROPERTY_NEW_VALUE;
                         });
        std::string piece;
        Target pieceKind;
        if (!newValue) {
            if (!Broken()) MarkStalled(owner);
        } else if (ReadProperty(property, limits_.maxBytes - bytes.size(), piece, pieceKind)) {
            if (piece.empty()) return true;
            if (bytes.empty()) kind = pieceKind;
            bytes += piece;
            continue;
        }
        bytes.clear();
        return false;
    }
}

bool X11Clipboard::Connection::WaitForEvent(
    uint64_t deadline, const std::function<bool(xcb_generic_event_t*)>& wanted) {
    for (;;) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(conn_)) {
            Reply<xcb_generic_event_t> event(raw);
            Note(event.get());
            if (wanted(event.get())) return true;
        }
        if (Broken()) return false;
        const uint64_t now = NowMs();
        if (now >= deadline) return false;
        pollfd fd = {xcb_get_file_descriptor(conn_), POLLIN, 0};
        if (poll(&fd, 1, static_cast<int>(std::min<uint64_t>(deadline - now, 60000))) < 0 &&
            errno != EINTR)
            return false;
    }
}

void X11Clipboard::Connection::DrainEvents() {
    while (xcb_generic_event_t* raw = xcb_poll_for_event(conn_)) {
        Reply<xcb_generic_event_t> event(raw);
        Note(event.get());
    }
}

void X11Clipboard::Connection::Note(const xcb_generic_event_t* event) {
    if (xfixes_ && (event->response_type & 0x7f) == xfixesFirstEvent_ + XCB_XFIXES_SELECTION_NOTIFY)
        ForgetOwner();
}

void X11Clipboard::Connection::ForgetOwner() {
    haveTargets_ = false;
    targetsList_.clear();
    stalled_ = false;
}

void X11Clipboard::Connection::MarkStalled(xcb_window_t owner) {
    stalled_ = true;
    stalledOwner_ = owner;
    stalledAt_ = NowMs();
}

bool X11Clipboard::Connection::IsStalled(xcb_window_t owner) const {
    return stalled_ && stalledOwner_ == owner && NowMs() - stalledAt_ < kStallQuarantineMs;
}

X11Clipboard::X11Clipboard(const std::string& display, const X11ClipboardLimits& limits)
    : display_(display), limits_(limits) {}

X11Clipboard::~X11Clipboard() = default;

bool X11Clipboard::Connect() {
    std::lock_guard<std::mutex> lock(mutex_);
    return EnsureConnected();
}

bool X11Clipboard::EnsureConnected() {
    if (connection_ && connection_->Broken()) connection_.reset();
    if (connection_) return true;
    std::unique_ptr<Connection> connection(new Connection(limits_));
    if (!connection->Open(display_)) return false;
    connection_ = std::move(connection);
    return true;
}

uint32_t X11Clipboard::RegisterFormat(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    return registered_.Register(name);
}

bool X11Clipboard::Offers(const std::string& target) {
    return connection_->Offers(target);
}

bool X11Clipboard::Read(const std::string& target, std::string& bytes) {
    return connection_->Read(target, bytes);
}

bool X11Clipboard::IsFormatAvailable(uint32_t format) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!EnsureConnected()) return false;
    if (format == kClipboardBitmap || format == kClipboardDib) {
        for (size_t i = 0; i < kClipboardPictureTypeCount; ++i)
            if (Offers(kClipboardPictureTypes[i])) return true;
        return false;
    }
    if (format == kClipboardHdrop)
        return Offers("text/uri-list") || Offers("x-special/gnome-copied-files");
    const std::string name = registered_.NameOf(format);
    if (name.empty()) return false;
    if (name == kHtmlFormat) return Offers(kHtmlFormat) || Offers("text/html");
    return Offers(name);
}

bool X11Clipboard::GetData(uint32_t format, std::string& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!EnsureConnected()) return false;
    if (format == kClipboardDib) {
        image::Bitmap picture;
        if (!ReadPicture(picture)) return false;
        bytes = MakeDibBlock(picture);
        return true;
    }
    const std::string name = registered_.NameOf(format);
    if (name.empty()) return false;
    if (name == kHtmlFormat) return ReadHtml(bytes);
    std::string data;
    if (!Offers(name) || !Read(name, data)) return false;
    bytes.swap(data);
    return true;
}

bool X11Clipboard::ReadHtml(std::string& bytes) {
    std::string data;
    if (Offers(kHtmlFormat) && Read(kHtmlFormat, data)) {
        bytes.swap(data);
        return true;
    }
    if (!Offers("text/html") || !Read("text/html", data)) return false;
    const std::string html = ClipboardTextToUtf8(data);
    if (html.empty()) return false;
    std::string sourceUrl;
    for (const char* target : kSourceUrlTargets) {
        std::string url;
        if (Offers(target) && Read(target, url)) {
            sourceUrl = FirstLineOfText(url);
            if (!sourceUrl.empty()) break;
        }
    }
    bytes = WrapCfHtml(html, sourceUrl);
    return true;
}

bool X11Clipboard::ReadPicture(image::Bitmap& picture) {
    for (size_t i = 0; i < kClipboardPictureTypeCount; ++i) {
        std::string data;
        const char* type = kClipboardPictureTypes[i];
        if (Offers(type) && Read(type, data) && DecodeClipboardPicture(type, data, picture))
            return true;
    }
    return false;
}

bool X11Clipboard::GetFileList(std::vector<std::wstring>& paths) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!EnsureConnected()) return false;
    const std::pair<const char*, bool> lists[] = {{"text/uri-list", false},
                                                  {"x-special/gnome-copied-files", true}};
    for (const auto& list : lists) {
        std::string data;
        if (!Offers(list.first) || !Read(list.first, data)) continue;
        std::vector<std::wstring> found = FilePathsFromUriList(data, list.second);
        if (found.empty()) continue;
        paths.swap(found);
        return true;
    }
    return false;
}

bool X11Clipboard::GetBitmap(ClipboardBitmap& bitmap) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!EnsureConnected()) return false;
    image::Bitmap picture;
    if (!ReadPicture(picture)) return false;
    bitmap.width = picture.width;
    bitmap.height = picture.height;
    bitmap.bgra = std::move(picture.bgra);
    return true;
}

}  // namespace platform
