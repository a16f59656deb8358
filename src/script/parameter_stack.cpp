#include "script/parameter_stack.h"

namespace ef2 {

bool ParameterStack::push(const ParameterFrame& frame) {
    if (depth() >= kMaxParameterFrames) return false;
    frames_.push_back(frame);
    return true;
}

bool ParameterStack::pop() {
    if (frames_.empty()) return false;
    frames_.pop_back();
    return true;
}

}  // namespace ef2
