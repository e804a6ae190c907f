#pragma once

// The floors' scene, in logical pixels: a 17-pixel ball that bounces between
// the side edges and two 145 by 17 paddles along the top and bottom edges,
// which keep their centre under the ball's, as autoplay does.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

namespace pellavin::bench {

constexpr int64_t kTickNs = 15'625'000;  // 64 Hz
constexpr int kBall = 17;
constexpr int kPaddleWidth = 145;
constexpr int kPaddleHeight = 17;
// The runner's serve moves the ball by 40 to 60 twips a tick: about 3 pixels.
constexpr int kBallStep = 3;

struct Rect {
    int x, y, w, h;
    bool operator==(const Rect&) const = default;
};

class Scene {
public:
    static constexpr size_t kBallIndex = 0;
    using Shapes = std::array<Rect, 3>;  // the ball, the top paddle, the bottom one

    Scene(int width, int height)
        : width_(width)
        , height_(height)
    {
        shapes_[kBallIndex] = {104, 224, kBall, kBall};
        follow_ball();
    }

    void move()
    {
        Rect& ball = shapes_[kBallIndex];
        if (ball.x + dx_ < 0 || ball.x + kBall + dx_ > width_) dx_ = -dx_;
        if (ball.y + dy_ < kPaddleHeight || ball.y + kBall + dy_ > height_ - kPaddleHeight) dy_ = -dy_;
        ball.x += dx_;
        ball.y += dy_;
        follow_ball();
    }

    const Shapes& shapes() const { return shapes_; }

private:
    static constexpr size_t kTopIndex = 1;
    static constexpr size_t kBottomIndex = 2;

    void follow_ball()
    {
        const Rect& ball = shapes_[kBallIndex];
        const int left = std::clamp(ball.x + kBall / 2 - kPaddleWidth / 2, 0, width_ - kPaddleWidth);
        shapes_[kTopIndex] = {left, 0, kPaddleWidth, kPaddleHeight};
        shapes_[kBottomIndex] = {left, height_ - kPaddleHeight, kPaddleWidth, kPaddleHeight};
    }

    int width_;
    int height_;
    int dx_ = -kBallStep;
    int dy_ = -kBallStep;
    Shapes shapes_{};
};

}  // namespace pellavin::bench
