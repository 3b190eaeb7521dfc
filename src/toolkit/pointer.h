#pragma once
// The application-wide mouse pointer: the arrow, the pointing hand over clickable pictures and
// links, the hourglass while a build runs. It is set for the whole application, not per control.

namespace torvana::toolkit {

enum class Pointer { Arrow, Hand, Hourglass };

void setPointer(Pointer p);
Pointer currentPointer();

// While one of these lives the pointer shows the arrow (for a message box over a build);
// the program's pointer comes back when it ends.
class PointerPause {
public:
    PointerPause();
    ~PointerPause();
    PointerPause(const PointerPause&) = delete;
    PointerPause& operator=(const PointerPause&) = delete;

private:
    bool active_;
};

}  // namespace torvana::toolkit
