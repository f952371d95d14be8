#include "bench/gui/PeerWindow.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "bench/Bench.h"
#include "bench/gui/XvfbDisplay.h"

namespace bench {

namespace {

// Everything a shell command writes on its standard output.
bool readCommand(const std::string& command, std::string& out) {
    out.clear();
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return false;
    char buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    return ::pclose(p) == 0;
}

uint32_t bigEndian32(const std::string& s, size_t at) {
    const auto* b = reinterpret_cast<const unsigned char*>(s.data() + at);
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | uint32_t(b[3]);
}

// The pixels of an xwd capture: where they start, the bytes of one row and
// of one pixel, the rows. False when it is not a ZPixmap capture.
struct Pixels {
    size_t offset = 0, rowBytes = 0, pixelBytes = 0, width = 0, height = 0;
};

bool parseXwd(const std::string& frame, Pixels& px) {
    // The header is 25 big-endian 32-bit fields, then the window name;
    // the colour map (12 bytes an entry) follows, then the pixels.
    if (frame.size() < 100) return false;
    const uint32_t headerSize = bigEndian32(frame, 0);
    const uint32_t format = bigEndian32(frame, 8);
    px.width = bigEndian32(frame, 16);
    px.height = bigEndian32(frame, 20);
    const uint32_t bitsPerPixel = bigEndian32(frame, 44);
    px.rowBytes = bigEndian32(frame, 48);
    const uint32_t colours = bigEndian32(frame, 76);
    px.pixelBytes = bitsPerPixel / 8;
    px.offset = size_t(headerSize) + size_t(colours) * 12;
    return format == 2 && px.pixelBytes > 0 && px.width * px.pixelBytes <= px.rowBytes &&
           px.offset + px.rowBytes * px.height <= frame.size();
}

// How many pixels differ between two captures of one screen.
size_t changedPixels(const std::string& a, const std::string& b) {
    Pixels pa, pb;
    if (!parseXwd(a, pa) || !parseXwd(b, pb) || pa.width != pb.width || pa.height != pb.height ||
        pa.rowBytes != pb.rowBytes || pa.pixelBytes != pb.pixelBytes)
        return size_t(-1);
    size_t changed = 0;
    for (size_t y = 0; y < pa.height; ++y) {
        const char* ra = a.data() + pa.offset + y * pa.rowBytes;
        const char* rb = b.data() + pb.offset + y * pb.rowBytes;
        if (std::memcmp(ra, rb, pa.width * pa.pixelBytes) == 0) continue;
        for (size_t x = 0; x < pa.width; ++x)
            if (std::memcmp(ra + x * pa.pixelBytes, rb + x * pa.pixelBytes, pa.pixelBytes) != 0)
                ++changed;
    }
    return changed;
}

// The last line a program wrote that is not empty, to tell why it ended.
std::string lastLine(const std::string& file) {
    std::string text, last;
    if (FILE* f = std::fopen(file.c_str(), "r")) {
        char line[512];
        while (std::fgets(line, sizeof line, f)) {
            std::string l(line);
            while (!l.empty() && (l.back() == '\n' || l.back() == '\r'))
                l.pop_back();
            if (!l.empty()) last = l;
        }
        std::fclose(f);
    }
    return last.empty() ? std::string() : ": \"" + last + "\"";
}

}  // namespace

PeerWindow::PeerWindow(const XvfbDisplay& display, std::string home, std::string logFile)
    : display_(display), home_(std::move(home)), logFile_(std::move(logFile)) {}

bool PeerWindow::windowShown(const std::string& windowTitle) const {
    std::string out;
    readCommand("DISPLAY=" + display_.name() + " xdotool search --onlyvisible --name '" +
                    windowTitle + "' 2>/dev/null",
                out);
    return out.find_first_of("0123456789") != std::string::npos;
}

bool PeerWindow::capture(std::string& frame, std::string& error) const {
    if (!readCommand("xwd -silent -root -display " + display_.name(), frame)) {
        error = "xwd could not capture the screen of " + display_.name();
        return false;
    }
    Pixels px;
    if (!parseXwd(frame, px)) {
        error = "xwd wrote no picture that can be read";
        return false;
    }
    return true;
}

PeerWindow::Result PeerWindow::watch(const std::vector<std::string>& argv,
                                     const std::string& windowTitle) {
    Result r;
    for (const char* tool : {"xdotool", "xwd"})
        if (!onPath(tool)) {
            r.error = std::string(tool) + " is not installed (Debian package " +
                      (std::strcmp(tool, "xwd") == 0 ? "x11-apps" : tool) + ")";
            return r;
        }
    if (windowTitle.find('\'') != std::string::npos) {
        r.error = "a window title with a quote cannot be searched";
        return r;
    }
    ChildProcess program;
    const double t0 = now();
    if (!program.start(argv,
                       {{"DISPLAY", display_.name()},
                        {"QT_QPA_PLATFORM", "xcb"},
                        {"HOME", home_},
                        {"XDG_CONFIG_HOME", home_ + "/.config"}},
                       logFile_)) {
        r.error = program.error();
        return r;
    }
    r.started = true;
    // The window.
    bool found = false;
    while (!found && now() - t0 < kTimeoutSeconds) {
        if (!program.running()) {
            r.error = argv[0] + " ended (" + program.ending() + ") before showing its window" +
                      lastLine(logFile_);
            return r;
        }
        found = windowShown(windowTitle);
        if (!found) ::usleep(20'000);
    }
    if (!found) {
        r.error = "no window titled '" + windowTitle + "' within the time allowed";
        return r;
    }
    r.windowSeconds = now() - t0;
    // Its content: the first picture that then stays.
    std::string settled, frame;
    double settledAt = 0;
    const double firstCapture = now();
    while (now() - t0 < kTimeoutSeconds) {
        if (!program.running()) {
            r.error = argv[0] + " ended (" + program.ending() + ") while it was watched" +
                      lastLine(logFile_);
            return r;
        }
        if (!capture(frame, r.error)) return r;
        const double at = now();
        ++r.captures;
        if (settled.empty() || changedPixels(settled, frame) > size_t(kChangedPixels)) {
            settled.swap(frame);
            settledAt = at;
            ++r.changes;
        } else if (at - settledAt >= kSettleSeconds) {
            r.shown = true;
            r.shownSeconds = settledAt - t0;
            r.captureSeconds = (at - firstCapture) / r.captures;
            r.residentBytes = program.residentBytes();
            program.stop();
            return r;
        }
    }
    r.error = "the window did not settle within " + std::to_string(int(kTimeoutSeconds)) + " s";
    return r;
}

}  // namespace bench
