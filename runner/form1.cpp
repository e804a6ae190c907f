#include "runner/form1.h"

#include "runtime/core/numbers.h"

namespace pellavin::runner {
namespace {

using runtime::Bounds;
using runtime::FillStyle;
using runtime::ShapeKind;

constexpr int kTimerInterval = 1;  // as often as the platform ticks

runtime::FormDesign window_design()
{
    runtime::FormDesign d;
    d.caption = "";
    d.border_style = runtime::BorderStyle::None;
    d.start_up_position = runtime::StartUpPosition::Manual;
    d.mouse_pointer = runtime::MousePointer::Invisible;
    d.client = {0, 0, 10035, 5940};
    return d;
}

void paint_white(runtime::Shape& shape)
{
    shape.set_FillStyle(FillStyle::Solid);
    shape.set_FillColor(runtime::kWhite);
    shape.set_BorderColor(runtime::kWhite);
}

}  // namespace

Form1::Form1(runtime::Platform& platform, runtime::RandomSequence& random, GameSettings& stored_settings)
    : Form(platform, random, window_design())
    , Frame1(*this, "Frame1", nullptr, {240, 1320, 1815, 1815}, "Pong Operators")
    , Intersection(*this, "Intersection", &Frame1, kTimerInterval)
    , BP(*this, "BP", &Frame1, kTimerInterval)
    , TP(*this, "TP", &Frame1, kTimerInterval)
    , BallMovement(*this, "BallMovement", &Frame1, kTimerInterval)
    , Label4(*this, "Label4", &Frame1, {600, 1320, 1095, 255}, "Bottom Paddle")
    , Label3(*this, "Label3", &Frame1, {600, 840, 855, 255}, "Top Paddle")
    , Label2(*this, "Label2", &Frame1, {600, 360, 855, 255}, "Ball")
    , BottomPaddle(*this, "BottomPaddle", {1200, 4680, 2175, 255}, ShapeKind::Rectangle)
    , Ball(*this, "Ball", {1560, 3360, 255, 255}, ShapeKind::Circle)
    , TopPaddle(*this, "TopPaddle", {1200, 0, 2175, 255}, ShapeKind::Rectangle)
    , stored_settings_(stored_settings)
{
    Frame1.set_Visible(false);
    paint_white(BottomPaddle);
    paint_white(Ball);
    paint_white(TopPaddle);

    Intersection.on_timer = [this] { Intersection_Timer(); };
    BP.on_timer = [this] { BP_Timer(); };
    TP.on_timer = [this] { TP_Timer(); };
    BallMovement.on_timer = [this] { BallMovement_Timer(); };
}

void Form1::Form_Load()
{
    Settings = stored_settings_.Load(platform());
    ManualPlay = Settings.NoAutoplay;
    Randomize();
    set_BackColor(runtime::kBlack);
    ScreenWidth = Screen.Width();
    ScreenHeight = runtime::round_to_int32(Screen.Height());
    set_Width(ScreenWidth);
    set_Height(static_cast<float>(ScreenHeight));
    set_Visible(true);
    if (Settings.GameType == 0) SetupPong();
}

}  // namespace pellavin::runner
