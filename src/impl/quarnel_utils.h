#pragma once

#include "impl/quarnel_impl.h"

#include <memory>

// Owner of the desktop utilities; the add-on calls through it.
class QuarnelUtils {
public:
    QuarnelUtils() : impl_(std::make_unique<QuarnelImpl>()) {}
    QuarnelImpl& impl() { return *impl_; }

private:
    std::unique_ptr<QuarnelImpl> impl_;
};
