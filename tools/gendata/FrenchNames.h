#pragma once

#include <QStringList>

// Word lists the generator draws names from. Accents, apostrophes and hyphens
// are there on purpose: every list, search and statement must cope with them.
namespace GenData::FrenchNames {

const QStringList &FirstNames();
const QStringList &LastNames();
const QStringList &Communes();
// What follows "École" in a school's name: people and places.
const QStringList &SchoolPatrons();
const QStringList &SchoolPrefixes();
const QStringList &Colleges();

} // namespace GenData::FrenchNames
