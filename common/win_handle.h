#pragma once

// Kernel handles (files, devices, threads, events) under the common owner. Null and
// INVALID_HANDLE_VALUE both mean "none": CreateFile answers the one, CreateThread and
// CreateEvent the other.
#include "common/unique_handle.h"

#include <windows.h>

struct CKernelHandleTraits
{
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type handle) noexcept { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static bool Close(Type handle) noexcept { return CloseHandle(handle) != FALSE; }
};

using CHandle = CUniqueHandle<CKernelHandleTraits>;
