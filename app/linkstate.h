#pragma once

#include <array>
#include <cstddef>

// How far the link to the module has come, as the worker reports it.
enum class LinkState {
    Disconnected, // no port open
    AwaitingPort, // the port vanished; the worker waits for it to come back
    PortOpen, // the port is open; the module has not told its version yet
    Connected, // the module has answered with its version
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

enum class Shown { Always, WhileDisconnected, WhileLinked, WhileNotRecording, WhileRecording };
enum class Usable { Always, WhileConnected, WhileConnectedOrPaused, WhileConnectedInFusionMode };

struct Rule
{
    LinkAction action;
    Shown shown;
    Usable usable;
};

// In LinkAction order. A pause outlives a dropped link, so its action stays
// usable to end it.
constexpr std::array<Rule, linkActionCount> rules { {
    { LinkAction::Connect, Shown::WhileDisconnected, Usable::Always },
    { LinkAction::Disconnect, Shown::WhileLinked, Usable::Always },
    { LinkAction::Reset, Shown::Always, Usable::WhileConnected },
    { LinkAction::Reboot, Shown::Always, Usable::WhileConnected },
    { LinkAction::View3D, Shown::Always, Usable::WhileConnected },
    { LinkAction::Acc, Shown::Always, Usable::WhileConnected },
    { LinkAction::Mag, Shown::Always, Usable::WhileConnected },
    { LinkAction::Gyr, Shown::Always, Usable::WhileConnected },
    { LinkAction::Eul, Shown::Always, Usable::WhileConnected },
    { LinkAction::AllGraphs, Shown::Always, Usable::WhileConnected },
    { LinkAction::Pause, Shown::Always, Usable::WhileConnectedOrPaused },
    { LinkAction::StartSaveLog, Shown::WhileNotRecording, Usable::WhileConnected },
    { LinkAction::StopSaveLog, Shown::WhileRecording, Usable::Always },
    { LinkAction::Dfu, Shown::Always, Usable::Always },
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
    bool visible = true;
    switch (rule.shown) {
    case Shown::Always:
        break;
    case Shown::WhileDisconnected:
        visible = disconnected;
        break;
    case Shown::WhileLinked:
        visible = !disconnected;
        break;
    case Shown::WhileNotRecording:
        visible = !context.recording;
        break;
    case Shown::WhileRecording:
        visible = context.recording;
        break;
    }
    bool enabled = true;
    switch (rule.usable) {
    case Usable::Always:
        break;
    case Usable::WhileConnected:
        enabled = connected;
        break;
    case Usable::WhileConnectedOrPaused:
        enabled = connected || context.paused;
        break;
    case Usable::WhileConnectedInFusionMode:
        enabled = connected && context.fusionMode;
        break;
    }
    return { visible, enabled };
}
