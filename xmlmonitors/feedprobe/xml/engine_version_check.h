// The warning shown when a transform's result is a stylesheet itself: the XML engine did not
// understand the configured stylesheet.
#pragma once

namespace feedprobe {

// Shows the warning with the product name of product.ini as caption; blocks until closed.
void ShowEngineVersionWarning();

}  // namespace feedprobe
