// A link over the fake port and the virtual clock, with a scripted prompter.
#pragma once

#include "support/FakeSerialPort.h"
#include "support/ScriptedPrompter.h"
#include "support/VirtualClock.h"
#include "link/Link.h"

#include <gtest/gtest.h>

namespace nbx::test {

inline QByteArray bytes(std::initializer_list<int> v)
{
    QByteArray b;
    for (int x : v)
        b.append(char(x));
    return b;
}

class LinkFixture : public ::testing::Test {
protected:
    LinkFixture() : port(clock), link(port, clock) { port.setPortName("ttyS0"); }

    bool openPort() { return port.open(nullptr); }

    VirtualClock clock;
    FakeSerialPort port;
    Link link;
    ScriptedPrompter prompts;
};

} // namespace nbx::test
