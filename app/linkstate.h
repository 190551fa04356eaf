#pragma once

#include <array>
#include <cstddef>

// How far the link to the module has come, as the worker reports it.
enum class LinkState {
    Disconnected, // no port open
    AwaitingPort, // the port vanished; the worker waits for it to come back
    PortOpen, // the port is open; the module has not told its version yet
    Connected, // the module has answered with its version
    Playing, // no port open; a recording feeds the views instead
};

// A port is open and its bytes are counted: the module's replies and the
// frame rate mean something only then.
constexpr bool portIsOpen(LinkState state)
{
    return state == LinkState::PortOpen || state == LinkState::Connected;
}

// The main window's actions that follow the link, in menu order.
enum class LinkAction {
    Connect,
    Disconnect,
    Reset,
    Reboot,
    View3D,
    Acc,
    Mag,
    Gyr,
    Eul,
    AllGraphs,
    Pause,
    StartSaveLog,
    StopSaveLog,
    OpenRecording,
    CloseRecording,
    Dfu,
    Config,
    Identify,
    MagCalibration,
    Version,
};
constexpr std::size_t linkActionCount = std::size_t(LinkAction::Version) + 1;

// What besides the link decides an action.
struct LinkContext
{
    bool recording = false;
    // Only the module's fusion (AHRS) mode can calibrate the magnetometer.
    bool fusionMode = false;
    bool paused = false;
};

struct ActionState
{
    bool visible;
    bool enabled;
};

namespace linkstate_detail {

enum class Shown {
    Always,
    WhileUnlinked,
    WhileLinked,
    WhileNotRecording,
    WhileRecording,
    WhilePlaying,
};
enum class Usable {
    Always,
    WhileNotPlaying,
    WhileConnected,
    WhileConnectedOrPlaying,
    WhileConnectedOrPaused,
    WhileConnectedInFusionMode,
    WhileDisconnectedOrPlaying,
};

struct Rule
{
    LinkAction action;
    Shown shown;
    Usable usable;
};

// In LinkAction order. A pause outlives a dropped link, so its action stays
// usable to end it. A recording plays only with no port open, and nothing
// that would reach the module can be used while it plays.
constexpr std::array<Rule, linkActionCount> rules { {
    { LinkAction::Connect, Shown::WhileUnlinked, Usable::WhileNotPlaying },
    { LinkAction::Disconnect, Shown::WhileLinked, Usable::Always },
    { LinkAction::Reset, Shown::Always, Usable::WhileConnected },
    { LinkAction::Reboot, Shown::Always, Usable::WhileConnected },
    { LinkAction::View3D, Shown::Always, Usable::WhileConnectedOrPlaying },
    { LinkAction::Acc, Shown::Always, Usable::WhileConnectedOrPlaying },
    { LinkAction::Mag, Shown::Always, Usable::WhileConnectedOrPlaying },
    { LinkAction::Gyr, Shown::Always, Usable::WhileConnectedOrPlaying },
    { LinkAction::Eul, Shown::Always, Usable::WhileConnectedOrPlaying },
    { LinkAction::AllGraphs, Shown::Always, Usable::WhileConnectedOrPlaying },
    { LinkAction::Pause, Shown::Always, Usable::WhileConnectedOrPaused },
    { LinkAction::StartSaveLog, Shown::WhileNotRecording, Usable::WhileConnected },
    { LinkAction::StopSaveLog, Shown::WhileRecording, Usable::Always },
    { LinkAction::OpenRecording, Shown::Always, Usable::WhileDisconnectedOrPlaying },
    { LinkAction::CloseRecording, Shown::WhilePlaying, Usable::Always },
    { LinkAction::Dfu, Shown::Always, Usable::WhileNotPlaying },
    { LinkAction::Config, Shown::Always, Usable::WhileConnected },
    { LinkAction::Identify, Shown::Always, Usable::WhileConnected },
    { LinkAction::MagCalibration, Shown::Always, Usable::WhileConnectedInFusionMode },
    { LinkAction::Version, Shown::Always, Usable::Always },
} };

constexpr bool rulesInActionOrder()
{
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (rules[i].action != LinkAction(i))
            return false;
    }
    return true;
}
static_assert(rulesInActionOrder(), "one rule per action, in LinkAction order");

} // namespace linkstate_detail

constexpr ActionState actionState(LinkAction action, LinkState state, LinkContext context)
{
    using namespace linkstate_detail;
    const Rule rule = rules[std::size_t(action)];
    const bool disconnected = state == LinkState::Disconnected;
    const bool connected = state == LinkState::Connected;
    const bool playing = state == LinkState::Playing;
    bool visible = true;
    switch (rule.shown) {
    case Shown::Always:
        break;
    case Shown::WhileUnlinked:
        visible = disconnected || playing;
        break;
    case Shown::WhileLinked:
        visible = !disconnected && !playing;
        break;
    case Shown::WhileNotRecording:
        visible = !context.recording;
        break;
    case Shown::WhileRecording:
        visible = context.recording;
        break;
    case Shown::WhilePlaying:
        visible = playing;
        break;
    }
    bool enabled = true;
    switch (rule.usable) {
    case Usable::Always:
        break;
    case Usable::WhileNotPlaying:
        enabled = !playing;
        break;
    case Usable::WhileConnected:
        enabled = connected;
        break;
    case Usable::WhileConnectedOrPlaying:
        enabled = connected || playing;
        break;
    case Usable::WhileConnectedOrPaused:
        enabled = connected || context.paused;
        break;
    case Usable::WhileConnectedInFusionMode:
        enabled = connected && context.fusionMode;
        break;
    case Usable::WhileDisconnectedOrPlaying:
        enabled = disconnected || playing;
        break;
    }
    return { visible, enabled };
}
