#include "demo/platform.h"

void PointerEventQueue::push(const PointerEvent& event)
{
    if (event.kind == PointerEvent::Kind::Motion && count_ > 0 && events_[count_ - 1].kind == PointerEvent::Kind::Motion) {
        events_[count_ - 1] = event;
        return;
    }
    if (count_ == PointerEventCapacity) {
        for (int i = 1; i < PointerEventCapacity; ++i)
            events_[i - 1] = events_[i];
        --count_;
    }
    events_[count_++] = event;
}

int PointerEventQueue::take(PointerEvent (&events)[PointerEventCapacity])
{
    const int count = count_;
    for (int i = 0; i < count; ++i)
        events[i] = events_[i];
    count_ = 0;
    return count;
}
