#pragma once
// Placeholder: the server class lands here.
