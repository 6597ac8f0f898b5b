struct Square: View {

    static let intrinsicSize = CGSize(width: 100, height: 100)

    struct Rectangle1: View {

        static let intrinsicSize = CGSize(width: 80, height: 80)
        static let origin        = CGPoint(x: 10, y: 10)

        var body: some View {
            ZStack {
                Rectangle()
                    .fill(Color(0xFFD700))
                Rectangle()
                    .stroke(Color.blue, style: StrokeStyle(lineWidth: 4))
            }
        }
    }

    var isResizable = false
    func resizable() -> Self { Self(isResizable: true) }

    var body: some View {
        if isResizable {
            GeometryReader { proxy in
                Rectangle1()
                    .frame(width: 80, height: 80, alignment: .topLeading)
                    .position(x: 10, y: 10)
                    .frame(width: 100, height: 100,
                           alignment: .topLeading)
                    .scaleEffect(x: proxy.size.width  / 100,
                                 y: proxy.size.height / 100)
                    .frame(width: proxy.size.width, height: proxy.size.height)
            }
        }
        else {
            Rectangle1()
                .frame(width: 80, height: 80, alignment: .topLeading)
                .position(x: 10, y: 10)
                .frame(width: 100, height: 100)
        }
    }
}

fileprivate extension Color {
    init(_ rgb: UInt32, opacity: Double = 1.0) {
        self.init(red     : Double((rgb >> 16) & 0xFF) / 255.0,
                  green   : Double((rgb >>  8) & 0xFF) / 255.0,
                  blue    : Double( rgb        & 0xFF) / 255.0,
                  opacity : opacity)
    }
}
