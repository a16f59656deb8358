// A zip package as the link rules meet it: checked entry by entry and, when
// every entry passes, unpacked into the scratch folder.

#include "fuzz_support.h"
#include "platform/links.h"

namespace {

class QuietLinks : public ef2::LinkContext {
public:
    void reportLink(std::string_view) override {}
    bool askAboutLink(const std::string&, const std::string&, int32_t) override { return false; }
    void showLinkProgress(std::string_view) override {}
    void releaseStuckInput() override {}
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return ef2::fuzz::initialize(false);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ef2::fuzz::clearScratchFolder();
    ef2::fuzz::writeInput("pack.ef2.zip", data, size);
    QuietLinks links;
    std::string name = "pack.ef2.zip";
    ef2::handleLink(links, name, ef2::LinkRules::Strict);
    return 0;
}
