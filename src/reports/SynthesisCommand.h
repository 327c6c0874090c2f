#pragma once

#include <QString>

class QWidget;
struct AppContext;

// "Synthèse": brings every pupil's and the class's profiles of the session's
// class up to date (by key, in one transaction), then shows the class
// synthesis in its viewer, modal over `parent`. False, with a message, when
// the profiles cannot be stored.
bool OpenClassSynthesis(AppContext &context, const QString &programTitle, QWidget *parent);
