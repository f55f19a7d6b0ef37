#pragma once
// A virtual X display for tests that drive the real program as a person
// would: an Xvfb server on a free display number, stopped with the object,
// and the tools that act on it (xdotool finds windows, presses keys and
// clicks; ImageMagick's import takes screenshots). Every call blocks the
// test's thread for a bounded time and runs no event loop. Without a window
// manager a window has no title bar and sits at the top left of the screen.
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ostrak {

class ChildProcess;

class XvfbDisplay {
public:
    // Starts the server; Name() stays "" when it does not come up within
    // StartMs.
    XvfbDisplay();
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    static constexpr int StartMs = 10000;

    // Whether Xvfb and xdotool are installed (scripts/install-deps installs
    // both).
    static bool ToolsInstalled();

    // ":N", or "" when the server did not start.
    const std::string& Name() const { return Name_; }

    // Runs xdotool with args on the display; its standard output without
    // the trailing newline, or nothing when it failed.
    std::optional<std::string> Xdotool(const QStringList& args) const;

    // Runs xprop -id window with args (x11-utils); as Xdotool.
    std::optional<std::string> Xprop(const std::string& window, const QStringList& args) const;

    // Waits up to timeoutMs for a shown window whose title is exactly title
    // (letter case aside); its id, or "" when none appeared. Gives up early
    // once giveUp, when given, says true (say, its program has ended).
    std::string WaitForWindow(const std::string& title, int timeoutMs,
                              const std::function<bool()>& giveUp = {}) const;

    // Focuses window and presses keys, each an xdotool key name ("n",
    // "Return", "ctrl+a"). False when xdotool failed.
    bool PressKeys(const std::string& window, const QStringList& keys) const;
    // Focuses window and types text as key presses.
    bool TypeText(const std::string& window, const std::string& text) const;
    // Moves the pointer to the point at fractions fx and fy of window's width
    // and height and clicks the left button there.
    bool ClickAt(const std::string& window, double fx, double fy) const;

    // Writes the whole screen to path as PNG. False when ImageMagick's
    // import is not installed or failed.
    bool Screenshot(const std::string& path) const;

private:
    std::unique_ptr<ChildProcess> Server_;
    std::string Name_;
};

} // namespace ostrak
