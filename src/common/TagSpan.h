#pragma once

#include <QtGlobal>

// Where the text between the first opening tag and the first closing tag lies. Both tags
// are searched from the start of the text, exactly and case-sensitively.
struct TagSpan
{
    enum class Kind { Found, Absent, Reversed };
    Kind kind = Kind::Absent;
    qsizetype begin = 0;
    qsizetype length = 0;

    // View is QStringView or QByteArrayView.
    template <class View> static TagSpan locate(View text, View open, View close)
    {
        const qsizetype p = text.indexOf(open);
        const qsizetype q = text.indexOf(close);
        if (p < 0 || q < 0)
            return {};
        const qsizetype begin = p + open.size();
        if (q < begin)
            return {Kind::Reversed, 0, 0};
        return {Kind::Found, begin, q - begin};
    }
};
