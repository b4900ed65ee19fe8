// The corner's position through the fixed-function matrices; the deep and
// the colour programs work from gl_FragCoord alone.
void main()
{
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
}
