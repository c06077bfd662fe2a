// Names parameterised cases after their `name` member.
#pragma once

#include <string>

namespace testsupport {

struct CaseName {
    template <class ParamInfo>
    std::string operator()(const ParamInfo& param) const {
        return std::string(param.param.name);
    }
};

} // namespace testsupport
