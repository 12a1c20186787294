#pragma once

namespace Orlix {

// COM for the calling thread for the lifetime of the object: apartment-threaded, or the
// multithreaded apartment when the thread is already in one. Results are not reported; the
// destructor always uninitialises.
class ComInitializer {
public:
    ComInitializer() noexcept;
    ~ComInitializer();
    ComInitializer(const ComInitializer&) = delete;
    ComInitializer& operator=(const ComInitializer&) = delete;
};

}  // namespace Orlix
