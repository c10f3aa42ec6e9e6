#include "engine/Workspace.h"

void Workspace::LoadSettings(const SettingsStore& store)
{
    settings.LoadSettings(store);
    table.RelabelNumberColumn(settings.frequencyMultiplier());
}

void Workspace::ApplyDisplayMode(int harmIndex)
{
    settings.ApplyDisplayMode(harmIndex);
    table.RelabelNumberColumn(settings.frequencyMultiplier());
}

void Workspace::UpdateSlotsPerHarmonic()
{
    table.setSlotsPerHarmonic(slotsPerHarmonicFor(settings.activeSettings.ppc));
}
