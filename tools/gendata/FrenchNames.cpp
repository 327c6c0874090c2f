#include "FrenchNames.h"

namespace GenData::FrenchNames {

namespace {

QStringList split(const char *words)
{
    return QString::fromUtf8(words).split(QLatin1Char('|'));
}

} // namespace

const QStringList &FirstNames()
{
    static const QStringList names =
        split("Émile|Éloïse|Noémie|Zoé|Chloé|Jérôme|François|Ophélie|Maël|Léa|Léo|Gaël|Anaïs|Clément|Hélène|Loïc|"
              "Maëlys|Raphaël|Inès|Thaïs|Adèle|Célia|Mathéo|Timothée|Agathe|Joséphine|Cécile|Aurélien|Élodie|"
              "Bérénice|Rémi|Noé|Lucas|Hugo|Louis|Jules|Arthur|Gabriel|Nathan|Tom|Sacha|Emma|Jade|Louise|Alice|"
              "Lina|Rose|Anna|Mila|Camille|Julie|Manon|Sarah|Paul|Marius|Yanis|Amélie|Benoît|Jean-Baptiste|"
              "Marie-Ève|Anne-Sophie|Héloïse|Maïwenn|Zoë|Côme|Théo|Éthan|Lény|Océane|Gaëtan|Soën|Nolan|Lilou|Enzo");
    return names;
}

const QStringList &LastNames()
{
    static const QStringList names =
        split("Martin|Bernard|Dubois|Durand|Lefèvre|Leroy|Moreau|Simon|Laurent|Michel|Garcia|David|Bertrand|Roux|"
              "Vincent|Fournier|Morel|Girard|André|Mercier|Dupont|Lambert|Bonnet|François|Legrand|Garnier|Faure|"
              "Rousseau|Blanc|Guérin|Muller|Henry|Roussel|Nicolas|Perrin|Morin|Mathieu|Clément|Gauthier|Dumont|"
              "Lopez|Fontaine|Chevalier|Robin|Masson|Gérard|Nguyen|Boyer|Denis|Lemaire|Duval|Joly|Roger|Roche|"
              "Noël|Meyer|Meunier|Pérez|Marchand|Dufour|Blanchard|Barbier|Brun|Dumas|Brunet|Schmitt|Leroux|Colin|"
              "Renard|Arnaud|Caron|Aubert|Giraud|Leclerc|Vidal|Bourgeois|Renaud|Lemoine|Picard|Gaillard|Lacroix|"
              "Fabre|Dupuis|Olivier|Da Silva|Hubert|Guillot|Rivière|Le Gall|Guillaume|Rey|Moulin|Berger|Lecomte|"
              "Ménard|Fleury|Deschamps|Carpentier|Maillard|Aubry|Vasseur|Le Roux|Prévost|Poirier|Charpentier|"
              "Royer|Huet|Baron|Dupuy|Pons|Carré|Breton|Rémy|Schneider|Perrot|Guyot|Barré|Marty|Cousin|N'Diaye|"
              "D'Almeida|Bouchard|Hébert|Thébault|Lévêque|Gaudin|Bénard|Chrétien|Béranger|Thérond|Lefébure|Cœur");
    return names;
}

const QStringList &Communes()
{
    static const QStringList names =
        split("Saint-Étienne-du-Bois|Montélimar|Pézenas|Béziers|Sète|Lodève|Agde|Clermont-l'Hérault|Mèze|"
              "Frontignan|Lunel|Ganges|Gignac|Bédarieux|Florensac|Marseillan|Sérignan|Vendargues|"
              "Castelnau-le-Lez|Pérols|Lattes|Mauguio|Saint-Gély-du-Fesc|Juvignac|Aniane|Cazouls-lès-Béziers|"
              "Capestang|Lamalou-les-Bains|Saint-Pons-de-Thomières|Olonzac|Montagnac|Valras-Plage|Vias|"
              "Portiragnes|Bessan|Poussan|Balaruc-les-Bains|Villeneuve-lès-Maguelone|Fabrègues|Cournonterral|"
              "Châteauneuf|Évreux|Hénin-Beaumont|Élancourt|Île-d'Aix|Crécy-la-Chapelle|Besançon|Vénissieux");
    return names;
}

const QStringList &SchoolPatrons()
{
    static const QStringList names =
        split("Jules Ferry|Jean Jaurès|Victor Hugo|Louise Michel|Marie Curie|Jean Moulin|Paul Bert|Jacques Prévert|"
              "Louis Pasteur|Condorcet|Jean de La Fontaine|Marcel Pagnol|Antoine de Saint-Exupéry|Françoise Dolto|"
              "Simone Veil|Anatole France|Émile Zola|George Sand|Colette|Albert Camus|Frédéric Mistral|Jean Macé|"
              "Paul Éluard|Charles Péguy|Aimé Césaire|Molière|Léon Blum|Olympe de Gouges|Hélène Boucher|"
              "du Centre|des Tilleuls|des Érables|du Moulin|de la Gare|des Écureuils|du Château|de la Forêt|des Prés|"
              "du Bourg|des Peupliers|des Châtaigniers|de la Fontaine|des Oliviers|du Parc|des Cèdres|de l'Étang|"
              "des Vignes|du Stade|des Mûriers");
    return names;
}

const QStringList &SchoolPrefixes()
{
    static const QStringList names =
        split("École|Ecole|École primaire|École élémentaire|École maternelle et élémentaire|Groupe scolaire");
    return names;
}

const QStringList &Colleges()
{
    static const QStringList names =
        split("Collège Jean Moulin|Collège Marcel Pagnol|Collège Les Garrigues|Collège Victor Hugo|"
              "Collège Frédéric Mistral|Collège Pierre de Ronsard|Collège Jean-Jacques Rousseau|Collège Paul Éluard|"
              "Collège Joliot-Curie|Collège Léon Blum|Collège Les Écrivains|Collège de l'Étang");
    return names;
}

} // namespace GenData::FrenchNames
