// The animation host: a child window that plays a film strip on a timer.
//
// The strip is one image (loaded like any skin image: the file first, else the
// "GIF" resource of the derived name) holding the frames side by side, each
// `frameWidth` pixels wide and as high as the image. The current frame is
// drawn centred in the part of the control its parent shows; a frame larger
// than that is drawn smaller, whole and in its proportions (FitFrame).
//
// The owner forwards two window messages to the host (HandleAnimationMessage):
// WM_USER + 11 plays, WM_USER + 10 stops; both do nothing before the control
// has been created. Typical start by a screen being built from its skin:
//
//     StartSkinAnimation(animation_, skin_, "MAINSCREENANIMATION", hwnd,
//                        kMainAnimationWindowName, IDC_MAIN_ANIMATION);
#pragma once

#include <windows.h>

#include <string>

#include "ui/gdi_objects_win32.h"
#include "ui/window_base_win32.h"
#include "ui/window_messages_win32.h"

namespace qm {

class SkinFile;

// The default skin's film strip: resource ANIMATION ("animation.gif" beside a
// skin on disk), frames of 93 x 70 pixels.
constexpr const char* kDefaultAnimationImage = "animation.gif";
constexpr int kDefaultAnimationFrameWidth = 93;
constexpr UINT kAnimationFrameInterval = 80;  // milliseconds per frame
constexpr const char* kMainAnimationWindowName = "SHOCKWAVE";
constexpr const char* kScanAnimationWindowName = "SHOCKWAVE2";

// The size a frame is drawn at in `room`: the frame's own when it fits, else
// the largest size of the same proportions that fits (0 x 0 for no room or
// no frame).
SIZE FitFrame(SIZE frame, SIZE room);

class CAnimationHost : public CWindowBase {
public:
    CAnimationHost() = default;
    ~CAnimationHost() override;
    CAnimationHost(const CAnimationHost&) = delete;
    CAnimationHost& operator=(const CAnimationHost&) = delete;

    // Creates the child window (style e.g. WS_CHILD | WS_VISIBLE) at `rect` of
    // `parent` with control identifier `id`. False if it cannot be created or
    // already exists.
    bool Create(const char* windowName, DWORD style, const RECT& rect, HWND parent, UINT id);
    // Loads the film strip; false (and no frames) if the image cannot be had.
    // Playback position returns to the first frame.
    bool SetMovie(const std::string& imagePath, int frameWidth = kDefaultAnimationFrameWidth);
    // Starts or resumes playback; nothing before Create.
    void Play();
    // Holds the current frame; nothing before Create.
    void Stop();
    // Destroys the window (also done by the destructor).
    void Destroy();

    bool IsPlaying() const { return playing_; }
    int FrameCount() const { return frameCount_; }
    int CurrentFrame() const { return frame_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnWindowGone() override;

private:
    void Paint();
    void Advance();

    SkinBitmap strip_;
    int frameWidth_ = 0;
    int frameHeight_ = 0;
    int frameCount_ = 0;
    int frame_ = 0;
    bool playing_ = false;
};

// The owner's handling of the two messages: kPlayAnimationMessage calls Play,
// kStopAnimationMessage calls Stop (both ignore their parameters; the owner
// returns 0). True when `message` was one of the two.
bool HandleAnimationMessage(CAnimationHost& host, UINT message);

// Starts a screen's animation from its skin: the rectangle is "DIMENSION" of
// `section`; the control is created visible with `windowName` and `id` as a
// child of `parent`; the strip is skin.ImagePath(kDefaultAnimationImage) (so
// the built-in strip unless a skin on disk brings its own); then it plays.
// No file is written. False when the control cannot be created.
bool StartSkinAnimation(CAnimationHost& host, const SkinFile& skin, const std::string& section,
                        HWND parent, const char* windowName, UINT id);

}  // namespace qm
