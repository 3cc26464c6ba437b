#pragma once
// Being written: the persisted fleet switches and lists.
