#pragma once

#include "RecordStore.h"

class Form1;
class ReportPrinter;
struct AppContext;

// The commands of the main window's list toolbars: add, modify and delete
// schools (Toolbar1), classes (Toolbar3) and pupils (Toolbar4), and the
// printed pupil list. Each acts on the main window's selection and ends by
// refreshing the toolbars.
class AdministrationCommands
{
public:
    AdministrationCommands(Form1 &form1, AppContext &context);

    // "Ajouter" (the record dialog for a new record) and "Modifier" (the
    // dialog on the selected record), modal over the main window.
    void add(RecordKind kind);
    void modify(RecordKind kind);
    // Asks twice, then deletes the selected record and what depends on it,
    // all or nothing, and rebuilds the lists.
    void remove(RecordKind kind);
    // "Imprime" of the pupil toolbar.
    void PrintPupilList();

    // The main window's printer, "vsPrinter3".
    ReportPrinter *printer() const { return m_printer; }

private:
    void openDialog(RecordKind kind);
    bool confirmDeletion(RecordKind kind);
    void afterDeletion(RecordKind kind);
    void restoreSelection(int classRow, int pupilRow);

    Form1 &m_form1;
    AppContext &m_context;
    RecordStore m_store;
    ReportPrinter *m_printer;
};

// Plugs the administration commands into the main window: the list toolbars'
// add, modify, delete and print keys, and the double-clicks on a school or a
// class.
void ConnectAdministration(Form1 &form1, AppContext &context);
