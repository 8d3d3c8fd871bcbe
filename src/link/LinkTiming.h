// Every delay and timeout of the device link, in milliseconds. Tests shorten them.
#pragma once

namespace nbx {

struct LinkTiming {
    int secondMs = 1000;            // one second of the blocking pause Espera
    int paceMs = 50;                // pause after each byte of a paced frame
    int frameTimeoutMs = 5000;      // per-byte receive timeout (programming sheet, live windows)
    int recordsTimeoutMs = 15000;   // per-byte receive timeout of the records window
    int answerWaitMs = 10000;       // one-byte answer to password, new password, erase, programming
    int testAnswerWaitMs = 3000000; // one-byte answer to the factory test (50 minutes)
    int dialAnswerMs = 60000;       // the modem's first reply after dialling
    int yieldSliceMs = 20;          // longest single turn of a yielding wait
    int gatherSliceMs = 40;         // longest turn while the rest of a frame is on its way
    int stxHuntLimit = 4096;        // bytes dropped before an STX that end a reception

};

} // namespace nbx
