#pragma once

// One owner for every kind of platform handle: not copyable, movable, closed exactly once.
// Traits give the handle type, its invalid value(s) and how it is closed:
//   struct Traits {
//       using Type = ...;
//       static Type Invalid() noexcept;
//       static bool IsValid(Type) noexcept;
//       static bool Close(Type) noexcept;   // true when the platform reports success
//   };
template <typename Traits> class CUniqueHandle
{
public:
    using Type = typename Traits::Type;

    CUniqueHandle() noexcept = default;
    explicit CUniqueHandle(Type handle) noexcept : m_handle(handle) {}
    ~CUniqueHandle() { Close(); }

    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    CUniqueHandle(CUniqueHandle&& other) noexcept : m_handle(other.Detach()) {}
    CUniqueHandle& operator=(CUniqueHandle&& other) noexcept
    {
        if (this != &other) {
            Reset(other.Detach());
        }
        return *this;
    }

    Type Get() const noexcept { return m_handle; }
    bool IsValid() const noexcept { return Traits::IsValid(m_handle); }
    explicit operator bool() const noexcept { return IsValid(); }

    // Closes the handle; an owner that holds none succeeds. The owner is empty afterwards either way.
    bool Close() noexcept
    {
        if (!IsValid()) {
            m_handle = Traits::Invalid();
            return true;
        }
        bool ok = Traits::Close(m_handle);
        m_handle = Traits::Invalid();
        return ok;
    }

    // Closes what is held and takes the new handle.
    void Reset(Type handle = Traits::Invalid()) noexcept
    {
        Close();
        m_handle = handle;
    }

    // Gives the handle up without closing it.
    Type Detach() noexcept
    {
        Type handle = m_handle;
        m_handle = Traits::Invalid();
        return handle;
    }

private:
    Type m_handle = Traits::Invalid();
};
