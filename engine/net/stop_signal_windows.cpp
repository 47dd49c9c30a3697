#include "stop_signal.h"

#include <windows.h>

// A manual-reset event: once set it stays set, so every wait on it (alone or
// among the socket's events) ends at once, however many there are.
kvStopSignal::kvStopSignal() {
    event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

kvStopSignal::~kvStopSignal() {
    if (event != nullptr) CloseHandle(event);
}

void kvStopSignal::RequestStop() {
    if (event != nullptr) SetEvent(event);
}

bool kvStopSignal::StopRequested() const {
    return event != nullptr && WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

bool kvStopSignal::WaitFor(long long ms) const {
    if (event == nullptr) return false;
    DWORD wait = 0;
    if (ms > 0) wait = ms > 0x7fffffffLL ? DWORD{0x7fffffff} : static_cast<DWORD>(ms);
    return WaitForSingleObject(event, wait) == WAIT_OBJECT_0;
}
