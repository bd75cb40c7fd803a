#include "core/events/event_sinks.h"

namespace zelto {
namespace {

template <class Call>
void EachQuietly(const std::vector<EventSink*>& sinks, Call&& call) {
    for (EventSink* sink : sinks) {
        try {
            call(*sink);
        } catch (...) {
            // Keeping the past must never cost the present: the sink reports its own failures.
        }
    }
}

}  // namespace

void EventSinks::OnEvent(const Event& event) {
    EachQuietly(sinks_, [&](EventSink& sink) { sink.OnEvent(event); });
}

void EventSinks::OnTime(Moment now) {
    EachQuietly(sinks_, [&](EventSink& sink) { sink.OnTime(now); });
}

void EventSinks::OnReading(Moment now) {
    EachQuietly(sinks_, [&](EventSink& sink) { sink.OnReading(now); });
}

}  // namespace zelto
