// The BiosManager provider's own answers, computed over a session's view of the firmware.
#pragma once

#include <string_view>

#include "sim/machine_model.h"

namespace velorin::sim {

// What a call changes when it is answered naturally. Kept apart from the answer so that a
// call answered by an `answer` rule can be left without effect.
struct Effect {
    enum class Kind { None, SelectOption, SetPassword, Authorise, Save };
    Kind kind = Kind::None;
    uint32_t code = 0;    // SelectOption: the item; SetPassword: 0x3000 or 0x3001
    uint32_t option = 0;  // SelectOption
    Text text;            // SetPassword
};

struct Answer {
    Params out;
    Effect effect;
};

// The session's view: the machine with this session's pending changes laid over it.
struct SessionView {
    const MachineDescription& machine;
    bool authorised = false;
};

// The provider's answer to `method` and what it would change; changes nothing itself. An
// in-parameter that is missing or of the wrong kind is answered like garbage.
Answer NaturalAnswer(const SessionView& session, std::string_view method, const Params& in);

}  // namespace velorin::sim
