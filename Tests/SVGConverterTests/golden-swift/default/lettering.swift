import SwiftUI

// SVG
struct Lettering: View {

  static let intrinsicSize = CGSize(width: 120, height: 40)

  // Modifiers and Statics

  static let sunset = LinearGradient(
    gradient: .init(colors: [
      .orange, .purple
    ]),
    startPoint: .leading, endPoint: .trailing
  )

  // Nested Groups and Shapes

  var isResizable = false
  func resizable() -> Self { Self(isResizable: true) }

  var body: some View {
    if isResizable {
      GeometryReader { proxy in
        ZStack(alignment: .topLeading) {
          Text("Say \"hi\" \\o/")
            .foregroundColor(.clear)
            .background(Lettering.sunset.mask(Text("Say \"hi\" \\o/")))
            .font(.system(size: 14, weight: .bold))
            .padding(.leading, 4)
            .alignmentGuide(.bottom) { $0[.firstTextBaseline] }
            .frame(width: .infinity, height: 16, alignment: .bottom)
          Text("Fine print")
            .foregroundColor(.init(red: 0.2, green: 0.4, blue: 0.6, opacity: 0.5))
            .font(.custom("georgia", size: 10).italic().weight(.light))
            .alignmentGuide(.bottom) { $0[.firstTextBaseline] }
            .frame(width: .infinity, height: 34, alignment: .bottom)
        }
        .frame(width: 120, height: 40,
               alignment: .topLeading)
        .scaleEffect(x: proxy.size.width  / 120,
                     y: proxy.size.height / 40)
        .frame(width: proxy.size.width, height: proxy.size.height)
      }
    }
    else {
      ZStack(alignment: .topLeading) {
        Text("Say \"hi\" \\o/")
          .foregroundColor(.clear)
          .background(Lettering.sunset.mask(Text("Say \"hi\" \\o/")))
          .font(.system(size: 14, weight: .bold))
          .padding(.leading, 4)
          .alignmentGuide(.bottom) { $0[.firstTextBaseline] }
          .frame(width: .infinity, height: 16, alignment: .bottom)
        Text("Fine print")
          .foregroundColor(.init(red: 0.2, green: 0.4, blue: 0.6, opacity: 0.5))
          .font(.custom("georgia", size: 10).italic().weight(.light))
          .alignmentGuide(.bottom) { $0[.firstTextBaseline] }
          .frame(width: .infinity, height: 34, alignment: .bottom)
      }
      .frame(width: 120, height: 40)
    }
  }
}

struct Lettering_Previews: PreviewProvider {
  static var previews: some View {
    VStack {
      Lettering()
        .resizable()
        .frame(width  : 2 * Lettering.intrinsicSize.width,
               height : 2 * Lettering.intrinsicSize.height)
        .background(Color.clear.border(Color.green))
        .padding()
      Text("Size: 120.0x40.0").padding(.bottom)
    }
  }
}
