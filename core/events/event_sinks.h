#pragma once
// Hands every event to several sinks; one that throws does not keep the event from the others,
// nor the exception from being swallowed here, away from the monitor.

#include <initializer_list>
#include <vector>

#include "core/events/event.h"

namespace zelto {

class EventSinks final : public EventSink {
public:
    // The sinks are not owned and must outlive this.
    EventSinks(std::initializer_list<EventSink*> sinks) : sinks_(sinks) {}

    void Add(EventSink& sink) { sinks_.push_back(&sink); }
    void OnEvent(const Event& event) override;
    void OnTime(Moment now) override;
    void OnReading(Moment now) override;

private:
    std::vector<EventSink*> sinks_;
};

}  // namespace zelto
