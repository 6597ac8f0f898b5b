# The layering check over the small tree in Fixture/: Low includes from High, which stands
# above it, and Side from High, which it does not stand on. Run with cmake -P.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/QuarvelLayers.cmake)
quarvel_layer(Base)
quarvel_layer(Low STANDS_ON Base)
quarvel_layer(High STANDS_ON Low)
quarvel_layer(Side STANDS_ON Low)
quarvel_check_layers(${CMAKE_CURRENT_LIST_DIR}/Fixture/Sources)
