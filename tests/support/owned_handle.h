#ifndef QUENLARK_TESTS_OWNED_HANDLE_H
#define QUENLARK_TESTS_OWNED_HANDLE_H

#include <windows.h>

// A handle closed when it goes out of scope, whichever way: a test that
// throws or returns early leaks nothing. NULL and INVALID_HANDLE_VALUE are
// held as no handle.
class OwnedHandle {
public:
    explicit OwnedHandle(HANDLE handle = NULL) : handle_(handle) {}
    ~OwnedHandle() { Close(); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    HANDLE Get() const { return handle_; }
    // Where a call hands back a new handle; any held before is closed.
    HANDLE* Receive()
    {
        Close();
        return &handle_;
    }
    void Close()
    {
        if (handle_ != NULL && handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = NULL;
    }

private:
    HANDLE handle_;
};

#endif
