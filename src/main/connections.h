// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/aliases.h"
#include "data/session.h"
#include "main/settings.h"

#include <QStringList>
#include <functional>

namespace kv {

class Connection;
class Dataset;
class Interaction;
class TdmKVResults;
class TdmSmp;

/// How a connection is bound, in the engine's terms: an alias, or a driver with parameter lines
/// ("PATH=...", or the Access parameters). Parameters win over the alias's own location.
struct Binding
{
    QString aliasName;
    QString driverName;
    QStringList params;

    QString param(const QString &name) const;
    bool operator==(const Binding &other) const = default;
};

/// The location string a binding names: the PATH parameter, else the alias's location, with the
/// Access parameters turned into an ODBC connection string.
QString resolveBinding(const Binding &binding, const AliasRegistry &aliases);

/// The viewer's two connections through a run: the settings that choose their binding, the session,
/// the definition of the connections and the Link command. Window work (navigators, tabs) stays with
/// the caller, which repeats it after each definition that succeeded.
class ViewerConnections
{
public:
    ViewerConnections(TdmKVResults &dm, Interaction &ui, const QString &settingsPath = settingsFilePath(),
                      const AliasRegistry &aliases = AliasRegistry::load());

    ViewerSettings &settings() { return m_settings; }
    const ViewerSettings &settings() const { return m_settings; }
    Session &session() { return m_session; }
    const AliasRegistry &aliases() const { return m_aliases; }
    const QString &settingsPath() const { return m_settingsPath; }
    /// The sample data module reads through KVResults too; it is closed with the others.
    void setSampleModule(TdmSmp *smp) { m_smp = smp; }
    TdmSmp *sampleModule() const { return m_smp; }

    const Binding &resultsBinding() const { return m_resultsBinding; }
    const Binding &workingBinding() const { return m_workingBinding; }

    /// The bindings the data module gets when it is created: the aliases KVResults and KVtmp with the
    /// folders of a standard installation.
    void bindInitial();

    void readSettings();
    void writeSettings();

    /// DefineConnections: closes everything, binds both connections as the settings say, connects
    /// them and opens the shared datasets. Throws the engine's error; what was opened stays open.
    void defineConnections();
    /// The Link command: switches the LAN link (when allowed), stores the state, defines the
    /// connections again.
    void link();
    /// Exit: disconnects KVResults, then KVtmp; errors are ignored.
    void disconnectQuietly();
    /// Closing the main window: writes the settings, closes every dataset, disconnects.
    void shutDown();

    /// "Local database" or "LAN database" after the last definition that got that far; empty before.
    const QString &connectionPanelText() const { return m_panelText; }
    /// Whether a LAN binding was made in this run.
    bool lanBindingMade() const { return m_lanBindingMade; }

    /// Called when the connection panel text changes.
    std::function<void(const QString &)> onConnectionPanel;
    /// Shows the acknowledgement window on the ReferTo dataset (opened for the call).
    std::function<void(Dataset &)> onShowReferTo;

private:
    void closeEverything();
    void apply(Connection &connection, const Binding &binding);
    void setPanel(const QString &text);

    TdmKVResults &m_dm;
    TdmSmp *m_smp = nullptr;
    Interaction &m_ui;
    QString m_settingsPath;
    AliasRegistry m_aliases;
    ViewerSettings m_settings;
    Session m_session;
    Binding m_resultsBinding;
    Binding m_workingBinding;
    QString m_panelText;
    bool m_lanBindingMade = false;
};

/// RebuildGroupingList: empties GroupingList and fills it with every group descriptor of Grouping once.
void rebuildGroupingList(TdmKVResults &dm);

/// ShowReferTo: opens the acknowledgement texts of the working database for the window, closes them after.
void showReferTo(TdmKVResults &dm, const std::function<void(Dataset &)> &show);

} // namespace kv
