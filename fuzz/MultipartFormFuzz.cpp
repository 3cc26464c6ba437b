// Uploads to vesk-fleetd: "<Content-Type>\n<body>". Every part is a slice of the body.
#include "FuzzTarget.h"

#include "fleetd/http/MultipartForm.h"

VESK_FUZZ_TARGET(multipart_form)
{
    using vesk::fleetd::MultipartForm;
    const vesk::fuzz::SplitInput split = vesk::fuzz::splitFirstLine(input);
    const MultipartForm::Result result = MultipartForm::parse(split.head, split.rest);
    if (!result.ok())
        return;
    VESK_FUZZ_CHECK(result.parts.size() <= MultipartForm::kMaxParts);
    for (const MultipartForm::Part &part : result.parts) {
        VESK_FUZZ_CHECK(part.data.size() <= split.rest.size());
        VESK_FUZZ_CHECK(MultipartForm::find(result.parts, part.name) != nullptr);
    }
}
