#include "ToolbarStates.h"

ToolbarStates UpdateToolbarStates(int schoolCount, int classCount, int pupilCount, bool evaluatedClass)
{
    ToolbarStates s{QList<bool>(3, false), QList<bool>(4, false), QList<bool>(8, false)};
    auto setAll = [](QList<bool> &buttons, int from, bool on) {
        for (int i = from; i < buttons.size(); ++i)
            buttons[i] = on;
    };
    if (schoolCount > 0) {
        s.classes[0] = true;
        setAll(s.schools, 0, true);
        if (classCount > 0) {
            s.pupils[0] = true;
            s.pupils[5] = true;
            setAll(s.classes, 0, true);
        } else {
            setAll(s.classes, 1, false);
            setAll(s.pupils, 0, false);
        }
        if (pupilCount > 0)
            setAll(s.pupils, 0, true);
        else
            setAll(s.pupils, 1, false);
        if (classCount > 0)
            s.pupils[5] = true;
    } else {
        setAll(s.schools, 1, false);
        setAll(s.classes, 0, false);
        setAll(s.pupils, 0, false);
        s.schools[0] = true;
    }
    s.classes[3] = schoolCount > 0 && classCount > 0 && evaluatedClass;
    return s;
}
