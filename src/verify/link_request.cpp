#include "verify/link_request.h"

namespace tolva {

struct LinkRequester::Shared {};

std::unique_ptr<LinkRequester> LinkRequester::Create(const LinkRequestOptions&, Waiter&) { return nullptr; }
LinkRequester::LinkRequester(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
LinkRequester::~LinkRequester() = default;
unsigned LinkRequester::Start(const std::string&) { return 0; }
void LinkRequester::Abort() {}
bool LinkRequester::WaitIdle(int) { return true; }
unsigned ErrorNumberForCurlCode(int, long) { return 12004; }
std::string EncodeForRequest(const std::string& url) { return url; }

}  // namespace tolva
