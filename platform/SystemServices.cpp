// The one set of system services in use.
#include "SystemServices.h"

#include <utility>

namespace quorvane::platform {
namespace {

SystemServices& current() {
    static SystemServices services;
    return services;
}

} // namespace

const SystemServices& services() {
    return current();
}

ServicesScope::ServicesScope(SystemServices replacement)
    : m_replaced(std::exchange(current(), std::move(replacement))) {}

ServicesScope::~ServicesScope() {
    current() = std::move(m_replaced);
}

} // namespace quorvane::platform
