#include "LinkTestSupport.h"

namespace nbx::test {

LinkTiming shortLinkTiming()
{
    LinkTiming t;
    t.secondMs = 10;
    t.paceMs = 1;
    t.frameTimeoutMs = 400;
    t.recordsTimeoutMs = 400;
    t.answerWaitMs = 800;
    t.testAnswerWaitMs = 1500;
    t.dialAnswerMs = 1500;
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
