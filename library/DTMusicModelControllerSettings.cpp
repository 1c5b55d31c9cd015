// Storing the live settings and play-control tables in the Setting and PlayControl rows.

#include "library/DTMusicModelController.h"
#include "library/SettingKeys.h"

#include <cstdio>

void DTMusicModelController::writeSettingRows(NSManagedObjectContext& context, const LiveTable* settings,
                                              const LiveTable* playControl)
{
    if (settings) {
        auto row = context.insertNewObjectForEntityForName(Setting::entityName);
        for (const StoredSettingKey& k : kStoredSettingKeys)
            row->setValue(QVariant::fromValue<qint64>(settings->integerValue(k.key)), QString::fromLatin1(k.attribute));
    }
    if (playControl) {
        auto row = context.insertNewObjectForEntityForName(PlayControl::entityName);
        for (const StoredSettingKey& k : kStoredPlayControlKeys)
            row->setValue(QVariant::fromValue<qint64>(playControl->integerValue(k.key)), QString::fromLatin1(k.attribute));
    }
}

void DTMusicModelController::saveSetting(const LiveTableRef& settingValueArray, const LiveTableRef& playControlArray)
{
    auto context = managedObjectContext();
    // Every save replaces the row, so the store never holds more than one of each. A
    // table that was not given leaves its stored row as it is.
    auto deleteRows = [&context](const QString& entityName) {
        if (auto rows = context->executeFetchRequest({entityName, {}, 0}))
            for (auto& row : *rows)
                context->deleteObject(row.get());
    };
    if (settingValueArray) {
        deleteRows(Setting::entityName);
        writeSettingRows(*context, settingValueArray.get(), nullptr);
    }
    if (playControlArray) {
        deleteRows(PlayControl::entityName);
        writeSettingRows(*context, nullptr, playControlArray.get());
    }
    // A store that cannot be written keeps its file; the live tables keep the values, and
    // the next save writes them.
    QString error;
    if (context->hasChanges() && !context->save(&error)) {
        std::printf("The settings could not be saved (%s); they are kept and saved again next time\n",
                    error.toUtf8().constData());
        std::fflush(stdout);
        // The unsaved rows go with the context: the next save opens the store afresh and
        // writes the values of that time as the one row.
        context.reset();
        m_managedObjectContext.reset();
        m_persistentStoreCoordinator.reset();
    }
}

void DTMusicModelController::setSettingValue(const LiveTableRef& settingValueArray, const LiveTableRef& playControlArray)
{
    m_settingValueArray = settingValueArray;
    m_playControlArray = playControlArray;
}
