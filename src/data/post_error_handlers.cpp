// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/post_error_handlers.h"

#include "core/interaction.h"

using namespace Qt::StringLiterals;

namespace kv {

namespace {

using Action = Dataset::PostErrorAction;

// The warnings both forms share; nullopt when the code is not one of them.
std::optional<Action> commonHandling(Interaction &ui, Dataset &dataset, const DatabaseError &error)
{
    switch (error.code()) {
    case IntegrityError:
        ui.warning(u"Error in integrity"_s);
        return Action::Abort;
    case KeyViolation:
        dataset.cancel();
        return Action::Fail;
    case RequiredFieldMissing:
        ui.warning(u"Required field missing"_s);
        return Action::Abort;
    case ForeignKeyError:
        ui.warning(u"Foreign key"_s);
        return Action::Abort;
    case DetailsExist:
        ui.warning(u"Details exist"_s);
        return Action::Abort;
    default:
        return std::nullopt;
    }
}

} // namespace

Dataset::PostErrorHandler firstFormPostErrorHandler(Interaction &ui)
{
    return [&ui](Dataset &dataset, const DatabaseError &error) {
        return commonHandling(ui, dataset, error).value_or(Action::Fail);
    };
}

Dataset::PostErrorHandler secondFormPostErrorHandler(Interaction &ui, const QString &lookupRangeText)
{
    return [&ui, lookupRangeText](Dataset &dataset, const DatabaseError &error) {
        if (const auto action = commonHandling(ui, dataset, error))
            return *action;
        if (error.code() == LookupRange) {
            ui.warning(lookupRangeText);
            return Action::Abort;
        }
        ui.message(error.message());
        return Action::Fail;
    };
}

Dataset::PostErrorHandler smpLocPostErrorHandler(Interaction &ui)
{
    return [&ui](Dataset &dataset, const DatabaseError &error) {
        if (error.code() == KeyViolation) {
            ui.warning(u"Unable to insert data record for "_s + dataset.text(u"SampleNo"_s));
            dataset.cancel();
            return Action::Fail;
        }
        if (error.code() == RequiredFieldMissing) {
            ui.warning(u"Please provide an Employee ID"_s);
            return Action::Abort;
        }
        return Action::Fail;
    };
}

} // namespace kv
