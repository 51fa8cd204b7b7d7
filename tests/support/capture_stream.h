#ifndef QUENLARK_TESTS_CAPTURE_STREAM_H
#define QUENLARK_TESTS_CAPTURE_STREAM_H

#include <stdio.h>

#include <functional>
#include <string>

// What `write` wrote to standard error, bytes as a redirected file gets them
// (the stream stays in text mode).
std::string CaptureStandardError(const std::function<void()>& write);

// What `write` wrote to the binary stream it is given, byte for byte.
std::string CaptureStream(const std::function<void(FILE*)>& write);

#endif
