#pragma once

namespace Orlix {

// COM for the calling thread for the lifetime of the object: apartment-threaded, or the
// multithreaded apartment when the thread is already in one. Results are not reported; only
// an initialisation that succeeded is undone.
class ComInitializer {
public:
    ComInitializer() noexcept;
    ~ComInitializer();
    ComInitializer(const ComInitializer&) = delete;
    ComInitializer& operator=(const ComInitializer&) = delete;

private:
    bool initialized_ = false;
};

}  // namespace Orlix
