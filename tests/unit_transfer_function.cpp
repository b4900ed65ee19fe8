#include "transfer/transfer_function.h"
#include <gtest/gtest.h>
TEST(Placeholder, Builds) { TransferFunction tf; tf.initialiseModel(1); EXPECT_EQ(tf.points.size(), 2u); }
