#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// The raw numbers cut out of one frame by their tags, in the order V, I, R, M, S.
struct RawFrame
{
    // False when a tag stood before its opening tag or M did not fit 16 bits: the handling
    // of the frame ends there, keeping only what was stored before (the mode, if set).
    bool complete = false;
    bool modeSet = false;
    qint16 mode = 0;
    double v = 0;
    double i = 0;
    double r = 0;
    double s = 0;
};

class FrameDecoder
{
public:
    // A value whose tag pair is absent is 0; a value that is not a number is 0, except I,
    // which keeps lastRawCurrent. Only the first tag of each kind counts.
    static RawFrame decode(QByteArrayView frame, double lastRawCurrent);
};
