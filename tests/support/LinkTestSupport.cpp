#include "LinkTestSupport.h"

namespace nbx::test {

LinkTiming shortLinkTiming()
{
    LinkTiming t;
    t.secondMs = 10;
    t.paceMs = 1;
    // Timeouts are only reached by the failure tests; on a loaded machine (sanitizers, parallel
    // builds, busy loops) the simulator's thread may lag most of a second before answering a good
    // exchange.
    t.frameTimeoutMs = 2000;
    t.recordsTimeoutMs = 2000;
    t.answerWaitMs = 2000;
    t.testAnswerWaitMs = 3000;
    t.dialAnswerMs = 3000;
    t.yieldSliceMs = 10;
    return t;
}

void ScriptedPasswords::askCurrentPassword(LinkState& st)
{
    CurrentPasswordLogic::load(st);
    CurrentPasswordLogic::accept(st, current);
}

void ScriptedPasswords::askNewPassword(LinkState& st)
{
    NewPasswordLogic::load(st);
    NewPasswordLogic::accept(st, current, newOne, newOne);
}

} // namespace nbx::test
