#include "conditions/bandconditions.h"

#include "fuzzcheck.h"

using conditions::Colour;

// The solar-data reply cut into slots and coloured for the panel, from any bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body = fuzzcheck::bytes(data, size);
    const std::optional<conditions::ConditionSlots> values = conditions::cutConditionSlots(body);
    const conditions::PanelView view = conditions::panelView(values);

    // Data only from a non-empty, wholly valid UTF-8 body (a cut-off last character included).
    FUZZ_CHECK(values.has_value() == (!body.isEmpty() && QByteArrayView(body).isValidUtf8()));

    FUZZ_CHECK(view.fields.size() == 11);
    FUZZ_CHECK(view.title.startsWith(QLatin1String("Band Conditions - ")), view.title);
    for (const conditions::FieldView& field : view.fields) {
        // A value never carries the markup around it.
        FUZZ_CHECK(!field.text.contains(u'<') && !field.text.contains(u'>'), field.text);
        if (!values)
            FUZZ_CHECK(field.text.isEmpty() && field.colour == Colour::Normal, field.name);
        else
            FUZZ_CHECK(field.colour != Colour::Normal, field.name);
    }
    if (values) {
        const conditions::FieldView& magic = view.fields.last();
        FUZZ_CHECK(magic.name == u"magicBand" && (magic.text == u"Open" || magic.text == u"Closed"),
                   magic.text);
    }
    return 0;
}
