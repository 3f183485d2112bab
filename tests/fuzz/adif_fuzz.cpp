#include "log/adif.h"
#include "log/workedparks.h"

#include "fuzzcheck.h"

// Any file handed to the log's import: every record is a contact or a problem with its position,
// and whatever was read is written out and read back unchanged.
FUZZ_TARGET(input) {
    const logbook::AdifRead read = logbook::readAdif(input);
    FUZZ_CHECK(read.contacts.size() == read.recordNumbers.size());
    int previous = 0;
    for (const logbook::AdifProblem& problem : read.problems) {
        FUZZ_CHECK(problem.record > previous && problem.offset >= 0 &&
                       problem.offset < input.size() && !problem.reason.contains(u'\n'),
                   problem.text());
        previous = problem.record;
    }
    for (const logbook::Contact& contact : read.contacts)
        FUZZ_CHECK(!contact.call.isEmpty() && contact.start.isValid(), contact.call);
    const QByteArray written = logbook::adifFile(read.contacts, QStringLiteral("0"),
                                                 QDateTime::fromSecsSinceEpoch(0, Qt::UTC));
    const logbook::AdifRead again = logbook::readAdif(written);
    FUZZ_CHECK(again.problems.isEmpty(), again.problems.value(0).text());
    FUZZ_CHECK(again.contacts == read.contacts, QString::fromUtf8(written.left(300)));

    const logbook::WorkedParks parks = logbook::readWorkedParks(input);
    FUZZ_CHECK(parks.error.isEmpty() || parks.references.isEmpty(), parks.error);
}
