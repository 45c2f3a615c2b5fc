// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "main/record_commands.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace kv {

class DbLookupComboBox;
class Interaction;
class TdmKVResults;

/// "New data record": the descriptors and the date of the record that "New record" has started in
/// IsoResults. The command reads Failed after the dialog closed with OK.
class Tfm_New : public QDialog
{
    Q_OBJECT

public:
    Tfm_New(TdmKVResults &dm, Interaction &ui, QWidget *parent = nullptr);

    /// Closing up or leaving the "System" box: the chosen system's decay constants, sigma values 0.
    void dblcbSystemCloseUp();
    void bbOKClick();
    void bbCancelClick();

    bool Failed = false;
    /// What the boxes hold, as the OK button stores it.
    NewRecordValues values() const;
    const DialogDecayConstants &decayConstants() const { return m_constants; }

    DbLookupComboBox *dblcbArea, *dblcbUnit, *dblcbLithology, *dblcbMaterial, *dblcbSystem, *dblcbApproach,
        *dblcbTechnique, *dblcbMethod, *dblcbInterpretation, *dblcbRank, *dblcbAgeUnits;
    QLabel *lRecordID;
    QLineEdit *eDate, *ePlus, *eMinus;
    QCheckBox *cbDefaultDC;
    QComboBox *cbReference;

private:
    TdmKVResults &m_dm;
    Interaction &m_ui;
    DialogDecayConstants m_constants; // all 0 until the "System" box is used
};

} // namespace kv
