// Not live yet: each operation reports that it is not implemented (see README).
#include "impl/quarnel_impl.h"

#include "addon/logging.h"

namespace {

void NotImplemented(const char* what) {
    QLOG(LOG_ERROR) << what << " not implemented";
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
}

}  // namespace

OperationResult QuarnelImpl::StartProcess(const std::string&, const std::vector<std::string>&,
                                          const std::string&) {
    NotImplemented("StartProcess");
    return OperationResult(false, 0);
}
std::string QuarnelImpl::GetMachineRegString(const std::string&, const std::string&) {
    NotImplemented("GetMachineRegString");
    return std::string();
}
bool QuarnelImpl::IsHiddenFile(const std::string&) {
    NotImplemented("IsHiddenFile");
    return false;
}
void QuarnelImpl::SetUserEnvironment(const std::string&, const std::string&) {
    NotImplemented("SetUserEnvironment");
}
std::vector<std::string> QuarnelImpl::GetMacAddresses() {
    NotImplemented("GetMacAddresses");
    return {};
}
