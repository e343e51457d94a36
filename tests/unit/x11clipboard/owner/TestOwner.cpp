// A clipboard owner for the X11 clipboard tests: owns CLIPBOARD and serves the given targets,
// or misbehaves in a chosen way. Prints "ready" once it owns the selection; exits when it
// loses it.
//
//   x11_test_owner [--display NAME] [MODE] [--incr-above BYTES] [--chunk BYTES] TARGET=SOURCE...
//   SOURCE is a file path or "@repeat:N" (N bytes of a pattern).
//   MODE: --stall (answers nothing), --stall-data (answers TARGETS only), --garbage-targets
//   (TARGETS is not an atom list), --no-property (says done, writes nothing), --incr-stall
//   (starts every transfer as INCR and never sends a piece).
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

struct Served {
    xcb_atom_t atom;
    std::string bytes;
};

struct Transfer {
    xcb_window_t window;
    xcb_atom_t property;
    xcb_atom_t type;
    const std::string* bytes;
    size_t offset;
};

xcb_connection_t* g_conn = nullptr;

xcb_atom_t Atom(const std::string& name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        g_conn, xcb_intern_atom(g_conn, 0, static_cast<uint16_t>(name.size()), name.data()),
        nullptr);
    if (!reply) std::exit(3);
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

bool Load(const std::string& source, std::string& bytes) {
    if (source.compare(0, 8, "@repeat:") == 0) {
        const size_t size = std::strtoull(source.c_str() + 8, nullptr, 10);
        std::string block;
        for (size_t i = 0; i < 26 * 2048; ++i) block.push_back(static_cast<char>('a' + i % 26));
        bytes.clear();
        bytes.reserve(size);
        while (bytes.size() < size)
            bytes.append(block, 0, std::min(block.size(), size - bytes.size()));
        return true;
    }
    std::ifstream in(source, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

void Notify(const xcb_selection_request_event_t* request, xcb_atom_t property) {
    xcb_selection_notify_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_SELECTION_NOTIFY;
    event.time = request->time;
    event.requestor = request->requestor;
    event.selection = request->selection;
    event.target = request->target;
    event.property = property;
    xcb_send_event(g_conn, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
}

}  // namespace

int main(int argc, char** argv) {
    std::string display, mode;
    size_t incrAbove = 256 * 1024, chunk = 256 * 1024;
    std::vector<std::pair<std::string, std::string>> servedTargets;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--display" && i + 1 < argc) {
            display = argv[++i];
        } else if (arg == "--incr-above" && i + 1 < argc) {
            incrAbove = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--chunk" && i + 1 < argc) {
            chunk = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg.compare(0, 2, "--") == 0) {
            mode = arg;
        } else if (arg.find('=') != std::string::npos) {
            servedTargets.emplace_back(arg.substr(0, arg.find('=')), arg.substr(arg.find('=') + 1));
        } else {
            std::fprintf(stderr, "unknown argument %s\n", arg.c_str());
            return 2;
        }
    }
    int screenNumber = 0;
    g_conn = xcb_connect(display.empty() ? nullptr : display.c_str(), &screenNumber);
    if (xcb_connection_has_error(g_conn)) return 3;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(g_conn));
    for (int i = 0; i < screenNumber && screens.rem; ++i) xcb_screen_next(&screens);
    const xcb_window_t window = xcb_generate_id(g_conn);
    xcb_create_window(g_conn, XCB_COPY_FROM_PARENT, window, screens.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t clipboard = Atom("CLIPBOARD");
    const xcb_atom_t targets = Atom("TARGETS");
    const xcb_atom_t incr = Atom("INCR");
    std::vector<Served> served;
    for (const auto& target : servedTargets) {
        Served item{Atom(target.first), std::string()};
        if (!Load(target.second, item.bytes)) {
            std::fprintf(stderr, "cannot read %s\n", target.second.c_str());
            return 2;
        }
        served.push_back(std::move(item));
    }
    xcb_set_selection_owner(g_conn, window, clipboard, XCB_CURRENT_TIME);
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(g_conn, xcb_get_selection_owner(g_conn, clipboard), nullptr);
    if (!owner || owner->owner != window) return 4;
    std::free(owner);
    std::printf("ready\n");
    std::fflush(stdout);

    std::vector<Transfer> transfers;
    while (xcb_generic_event_t* event = xcb_wait_for_event(g_conn)) {
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_SELECTION_CLEAR) return 0;
        if (type == XCB_SELECTION_REQUEST && mode != "--stall") {
            auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
            const xcb_atom_t property = request->property ? request->property : request->target;
            const Served* item = nullptr;
            for (const Served& s : served)
                if (s.atom == request->target) item = &s;
            if (request->target == targets) {
                if (mode == "--garbage-targets") {
                    const char junk[] = "\x01\x02garbage that is not a list of atoms";
                    xcb_change_property(g_conn, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                        XCB_ATOM_STRING, 8, sizeof junk - 1, junk);
                } else {
                    std::vector<xcb_atom_t> list{targets};
                    for (const Served& s : served) list.push_back(s.atom);
                    xcb_change_property(g_conn, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                        XCB_ATOM_ATOM, 32, static_cast<uint32_t>(list.size()),
                                        list.data());
                }
                Notify(request, property);
            } else if (!item) {
                Notify(request, XCB_ATOM_NONE);
            } else if (mode == "--stall-data") {
                // never answers
            } else if (mode == "--no-property") {
                Notify(request, property);
            } else if (mode == "--incr-stall" || item->bytes.size() > incrAbove) {
                const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(g_conn, request->requestor, XCB_CW_EVENT_MASK,
                                             &events);
                const uint32_t size = static_cast<uint32_t>(item->bytes.size());
                xcb_change_property(g_conn, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                    incr, 32, 1, &size);
                if (mode != "--incr-stall")
                    transfers.push_back(
                        Transfer{request->requestor, property, item->atom, &item->bytes, 0});
                Notify(request, property);
            } else {
                xcb_change_property(g_conn, XCB_PROP_MODE_REPLACE, request->requestor, property,
                                    item->atom, 8, static_cast<uint32_t>(item->bytes.size()),
                                    item->bytes.data());
                Notify(request, property);
            }
        } else if (type == XCB_PROPERTY_NOTIFY) {
            auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
            for (size_t i = 0; i < transfers.size(); ++i) {
                Transfer& t = transfers[i];
                if (notify->state != XCB_PROPERTY_DELETE || t.window != notify->window ||
                    t.property != notify->atom)
                    continue;
                const size_t n = std::min(chunk, t.bytes->size() - t.offset);
                xcb_change_property(g_conn, XCB_PROP_MODE_REPLACE, t.window, t.property, t.type, 8,
                                    static_cast<uint32_t>(n), t.bytes->data() + t.offset);
                t.offset += n;
                if (n == 0) transfers.erase(transfers.begin() + i);
                break;
            }
        }
        std::free(event);
        xcb_flush(g_conn);
    }
    return 0;
}
