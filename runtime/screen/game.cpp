#include "runtime/screen/game.h"

#include "runtime/core/tick_schedule.h"
#include "runtime/screen/desktop_shield.h"
#include "runtime/screen/screen_platform.h"

#include <optional>

namespace pellavin::screen {
namespace {

// Real games last many seconds.
constexpr uint64_t kShortestGameTicks = std::chrono::seconds(1) / runtime::kPlatformTickPeriod;

}  // namespace

Game::Game(ScreenSession& session, EndSignals& signals, std::unique_ptr<runtime::Form> form, const DevicePixels& pixels)
    : session_(session)
    , form_(std::move(form))
    , view_(*form_, pixels, session.surface())
    , loop_(session, view_.clock(), signals)
{
    session_.attach(&view_);
    form_->load();
    if (!form_->ended() && !form_->Visible()) form_->set_Visible(true);  // the start-up form shows once loaded
}

Game::~Game() { session_.attach(nullptr); }

void Game::play()
{
    std::optional<DesktopShield> shield;
    while (loop_.turn(-1)) {
        if (shield || !view_.drawn()) continue;
        shield.emplace();
        shield->on_change = [this](bool up) { view_.set_shielded(up); };
        loop_.watch(&*shield);
    }
    loop_.watch(nullptr);
}

bool Game::ended_at_once() const { return form_->ended() && view_.clock().ticks() < kShortestGameTicks; }

void play_full_screen(ScreenSession& session, ScreenPlatform& platform, EndSignals& signals,
    const FormFactory& make_form)
{
    platform.set_screen_size(session.width_twips(), session.height_twips());
    runtime::ClockSeededRandom random;
    Game game(session, signals, make_form(platform, random), session.pixels());
    game.play();
}

}  // namespace pellavin::screen
